// Signing a finished installer with Authenticode, through osslsigncode.
#pragma once

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

}  // namespace tool
