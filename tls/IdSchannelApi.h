// Run-time binding of the system's TLS ("secur32.dll", Schannel through SSPI)
// and certificate API ("crypt32.dll"): loaded by name on the first TLS
// connection, so a program that never makes one never loads them.
#pragma once

// windows.h first; the others build on it.
#include <windows.h>

#include <wincrypt.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

namespace vantro {

struct TSchannelApi {
  // Every SSPI call of Schannel.
  PSecurityFunctionTableA sspi = nullptr;
  decltype(&::CertOpenStore) CertOpenStore = nullptr;
  decltype(&::CertCloseStore) CertCloseStore = nullptr;
  decltype(&::CertAddStoreToCollection) CertAddStoreToCollection = nullptr;
  decltype(&::CertAddEncodedCertificateToStore) CertAddEncodedCertificateToStore = nullptr;
  decltype(&::CertFindCertificateInStore) CertFindCertificateInStore = nullptr;
  decltype(&::CertFreeCertificateContext) CertFreeCertificateContext = nullptr;
  decltype(&::CertGetCertificateChain) CertGetCertificateChain = nullptr;
  decltype(&::CertVerifyCertificateChainPolicy) CertVerifyCertificateChainPolicy = nullptr;
  decltype(&::CertFreeCertificateChain) CertFreeCertificateChain = nullptr;
  decltype(&::CertGetNameStringA) CertGetNameStringA = nullptr;
  decltype(&::CertFindExtension) CertFindExtension = nullptr;
  decltype(&::CryptDecodeObjectEx) CryptDecodeObjectEx = nullptr;
  decltype(&::CryptStringToBinaryA) CryptStringToBinaryA = nullptr;
};

// The bound entry points; raises EIdSSLProtocolReplyError when a library or
// an entry point is missing (and tries again on the next call).
const TSchannelApi& SchannelApi();

}  // namespace vantro
