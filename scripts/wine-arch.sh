#!/usr/bin/env bash
# Prints the Wine architecture the tests can use on this machine: win32 when
# the kernel runs 32-bit programs (wine32 starts), else win64 when wine64 is
# there. Some virtual machines execute no 32-bit code at all; the Wine tests
# then run the x86-64 build of the same sources.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo win32
elif /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
  echo win64
else
  echo none
fi
