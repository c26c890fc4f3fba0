// An Authenticode signature on an installer. Signing appends a certificate
// table to the file (after padding it to a multiple of eight bytes) and
// names it in the PE security directory, so the package no longer ends at
// the end of the file: it ends where the padding before the table begins.
#pragma once

#include <cstdint>

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

}  // namespace qb
