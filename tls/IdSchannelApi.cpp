#include "tls/IdSchannelApi.h"

#include <string>

#include "tcp/IdException.h"

namespace vantro {
namespace {

// The libraries stay loaded for the life of the process: they are the
// system's own, and connections may run on several threads.
HMODULE LoadSystemLibrary(const char* name) {
  HMODULE module = LoadLibraryA(name);
  if (module == nullptr) {
    throw EIdSSLProtocolReplyError(std::string("TLS is not available: ") + name +
                                   " cannot be loaded");
  }
  return module;
}

template <class F>
void Bind(HMODULE module, const char* library, const char* name, F& entry) {
  entry = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (entry == nullptr) {
    throw EIdSSLProtocolReplyError(std::string("TLS is not available: ") + library + " has no " +
                                   name);
  }
}

TSchannelApi LoadApi() {
  TSchannelApi api;
  const HMODULE secur32 = LoadSystemLibrary("secur32.dll");
  INIT_SECURITY_INTERFACE_A init = nullptr;
  Bind(secur32, "secur32.dll", "InitSecurityInterfaceA", init);
  api.sspi = init();
  if (api.sspi == nullptr) {
    throw EIdSSLProtocolReplyError("TLS is not available: secur32.dll gives no security interface");
  }
  const char* const library = "crypt32.dll";
  const HMODULE crypt32 = LoadSystemLibrary(library);
  Bind(crypt32, library, "CertOpenStore", api.CertOpenStore);
  Bind(crypt32, library, "CertCloseStore", api.CertCloseStore);
  Bind(crypt32, library, "CertAddStoreToCollection", api.CertAddStoreToCollection);
  Bind(crypt32, library, "CertAddEncodedCertificateToStore", api.CertAddEncodedCertificateToStore);
  Bind(crypt32, library, "CertFindCertificateInStore", api.CertFindCertificateInStore);
  Bind(crypt32, library, "CertFreeCertificateContext", api.CertFreeCertificateContext);
  Bind(crypt32, library, "CertGetCertificateChain", api.CertGetCertificateChain);
  Bind(crypt32, library, "CertVerifyCertificateChainPolicy", api.CertVerifyCertificateChainPolicy);
  Bind(crypt32, library, "CertFreeCertificateChain", api.CertFreeCertificateChain);
  Bind(crypt32, library, "CertGetNameStringA", api.CertGetNameStringA);
  Bind(crypt32, library, "CertFindExtension", api.CertFindExtension);
  Bind(crypt32, library, "CryptDecodeObjectEx", api.CryptDecodeObjectEx);
  Bind(crypt32, library, "CryptStringToBinaryA", api.CryptStringToBinaryA);
  return api;
}

}  // namespace

const TSchannelApi& SchannelApi() {
  static const TSchannelApi api = LoadApi();
  return api;
}

}  // namespace vantro
