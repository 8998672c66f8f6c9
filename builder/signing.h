// Signing a finished installer with osslsigncode (Authenticode). Signing
// appends a certificate table behind the archive's trailer; the installer
// and the builder's reader find the archive in front of it.
#ifndef BUILDER_SIGNING_H
#define BUILDER_SIGNING_H

#include <string>
#include <vector>

struct SignOptions {
  std::string certificate;   // PKCS#12 file (.pfx) holding the key and certificates
  std::string passwordFile;  // the PKCS#12 password on its first line; empty: none
  std::string timestampUrl;  // RFC 3161 time-stamp server; empty: no time stamp
};

// The osslsigncode arguments that sign input into output.
std::vector<std::string> SignArguments(const SignOptions &options, const std::string &input,
                                       const std::string &output);

// Signs the installer at path in place: osslsigncode signs a copy beside it
// into path, and the copy is removed. false, with *error, when osslsigncode
// is not installed, fails (its own messages go to standard error), or leaves
// a file whose archive no longer reads or checks; path is then removed, so a
// failed signing never leaves an installer behind.
bool SignInstaller(const std::string &path, const SignOptions &options, std::string *error);

// What osslsigncode verify says of the signature of the signed file at
// path, given ca (a PEM file of certificates to trust, its -CAfile) or its
// default list: HOLDS when the signature matches the file and its signer is
// trusted; BROKEN, with osslsigncode's *reason, when it does not hold;
// NOT_CHECKED, with *reason, when osslsigncode is not there to ask.
enum SignatureCheck { SIGNATURE_HOLDS, SIGNATURE_BROKEN, SIGNATURE_NOT_CHECKED };
SignatureCheck CheckSignature(const std::string &path, const std::string &ca, std::string *reason);

#endif
