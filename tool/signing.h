// Signing the installer and the uninstaller it carries with Authenticode,
// through osslsigncode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tool {

struct SigningOptions {
  std::string pkcs12;        // a PKCS#12 file with the certificate and its key
  std::string certificate;   // or a certificate file (PEM or DER, with its chain)
  std::string key;           // and its private key
  std::string passwordEnv;   // the environment variable holding the password
  std::string passwordFile;  // or a file holding it
  std::string timestamp;     // a time-stamping server (RFC 3161), optional
  std::string description;   // shown by Windows when it asks about the program
  std::string url;
  bool Wanted() const { return !pkcs12.empty() || !certificate.empty(); }
};

// Signs the file in place. Throws BuildError with the signer's own message
// when signing fails; the file is then left as it was.
void SignFile(const SigningOptions& options, const std::string& path);

// Signs a program held in memory through SignFile, by way of a temporary
// file only this user can read (gone again when this returns); returns the
// signed program. Throws BuildError as SignFile does.
std::vector<uint8_t> SignProgram(const SigningOptions& options,
                                 const std::vector<uint8_t>& program);

}  // namespace tool
