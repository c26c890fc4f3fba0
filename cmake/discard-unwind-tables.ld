/* Added to the linker's own script for the stub and the uninstaller: they
   are built without exceptions and start without the runtime's start-up
   objects, so nothing registers or reads DWARF unwind tables. The ones that
   library objects bring along (64-bit division, the pseudo-relocator) are
   dropped instead of filling a section of their own. */
SECTIONS
{
  /DISCARD/ : { *(.eh_frame) }
}
INSERT BEFORE .rdata;
