// An Authenticode signature on an installer. Signing appends a certificate
// table to the file (after padding it to a multiple of eight bytes) and
// names it in the PE security directory, so the package no longer ends at
// the end of the file: it ends where the padding before the table begins.
#pragma once

#include <cstdint>
#include <vector>

#include "package/source.h"

namespace qb {

struct CertificateTable {
  uint64_t offset = 0;  // file offset of the table
  uint64_t size = 0;
};

// Finds the certificate table a PE file's security directory names. False
// when the file is not a PE file, has no table, or names one that does not
// end exactly at the end of the file (where signing puts it).
bool FindCertificateTable(ByteSource& file, CertificateTable& table);

// Where the package appended to an installer ends: the end of the file, or,
// when a certificate table follows, its offset less the zero bytes of
// padding (at most seven) in front of it.
uint64_t PackageEnd(ByteSource& file);

// Appends data to a program held in memory so that the data ends the file
// (the uninstaller's trailer, added at installation to an uninstaller the
// authoring tool may have signed). Past the certificate table of a signed
// program the data would break its signature; so there it goes inside the
// table, which the signature's digest leaves out: zero bytes first keep the
// table a multiple of eight bytes long, and the table and its last
// certificate entry grow to take them and the data. A PE checksum the
// program carries is then made again (one of 0 says there is none and
// stays). Any other file just gets the data at its end. Returns whether the
// data went inside a signature.
bool AppendKeepingSignature(std::vector<uint8_t>& program, const std::vector<uint8_t>& data);

// The PE checksum of a program: its 16-bit words summed with end-around
// carry, the checksum field itself counting as zero, plus its length.
uint32_t PeChecksum(const std::vector<uint8_t>& program, uint64_t checksumField);

}  // namespace qb
