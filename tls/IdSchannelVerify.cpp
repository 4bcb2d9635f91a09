#include "tls/IdSchannelVerify.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "tcp/IdException.h"
#include "tcp/IdWinSock2.h"

namespace vantro {
namespace {

struct TStoreCloser {
  void operator()(HCERTSTORE store) const { SchannelApi().CertCloseStore(store, 0); }
};
using TStore = std::unique_ptr<void, TStoreCloser>;

struct TChainFreer {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const {
    SchannelApi().CertFreeCertificateChain(chain);
  }
};
using TChain = std::unique_ptr<const CERT_CHAIN_CONTEXT, TChainFreer>;

using TAddress = std::array<unsigned char, 4>;

// SECURITY_FLAG_IGNORE_UNKNOWN_CA of wininet.h, which the SSL policy reads.
constexpr DWORD kIgnoreUnknownCA = 0x00000100;

[[noreturn]] void Refuse(const std::string& host, const std::string& text) {
  throw EIdSSLProtocolReplyError(TLSFailureText(host, text));
}

[[noreturn]] void RefuseForLastError(const std::string& host) {
  Refuse(host, TLSStatusText(static_cast<long>(GetLastError())));
}

TStore NewStore(const TSchannelApi& api, LPCSTR provider, const std::string& host) {
  TStore store(api.CertOpenStore(provider, 0, 0, 0, nullptr));
  if (!store) RefuseForLastError(host);
  return store;
}

// C's files, not iostreams: those would double the size of the exe.
bool ReadWholeFile(const std::string& path, std::string& content) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char block[4096];
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;)
    content.append(block, n);
  const bool whole = std::ferror(file) == 0;
  std::fclose(file);
  return whole;
}

// The roots a PEM file adds to the system's, as curl's --cacert does.
TStore LoadCAFile(const TSchannelApi& api, const std::string& path, const std::string& host) {
  const auto unreadable = [&](const std::string& why) {
    Refuse(host, "the CA file " + path + " could not be read: " + why);
  };
  std::string pem;
  if (!ReadWholeFile(path, pem)) unreadable("it cannot be opened");
  TStore store = NewStore(api, CERT_STORE_PROV_MEMORY, host);
  static constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
  static constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
  int count = 0;
  for (std::size_t begin = pem.find(kBegin); begin != std::string::npos;
       begin = pem.find(kBegin, begin + kBegin.size())) {
    const std::size_t end = pem.find(kEnd, begin);
    if (end == std::string::npos) break;
    const std::string block = pem.substr(begin, end + kEnd.size() - begin);
    DWORD size = 0;
    std::vector<BYTE> der;
    const bool decoded =
        api.CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                                 CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr) &&
        (der.resize(size),
         api.CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                                  CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr));
    if (!decoded ||
        !api.CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(), size,
                                              CERT_STORE_ADD_USE_EXISTING, nullptr)) {
      unreadable("certificate " + std::to_string(count + 1) + " is not one");
    }
    ++count;
  }
  if (count == 0) unreadable("it holds no certificate");
  return store;
}

// The chain from the server's certificate through the certificates it sent
// (and the CA file's) to a root; nothing is fetched from the network, so the
// check stays within the connection's time-outs.
TChain BuildChain(const TSchannelApi& api, PCCERT_CONTEXT certificate, HCERTSTORE extraRoots,
                  const std::string& host) {
  TStore candidates = NewStore(api, CERT_STORE_PROV_COLLECTION, host);
  api.CertAddStoreToCollection(candidates.get(), certificate->hCertStore, 0, 0);
  if (extraRoots != nullptr) api.CertAddStoreToCollection(candidates.get(), extraRoots, 0, 0);
  LPSTR serverAuth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuth;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!api.CertGetCertificateChain(nullptr, certificate, nullptr, candidates.get(), &para,
                                   CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &chain)) {
    RefuseForLastError(host);
  }
  return TChain(chain);
}

bool EndsInOneOf(const TSchannelApi& api, PCCERT_CHAIN_CONTEXT chain, HCERTSTORE roots) {
  if (roots == nullptr || chain->cChain == 0) return false;
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  if (simple->cElement == 0) return false;
  PCCERT_CONTEXT last = simple->rgpElement[simple->cElement - 1]->pCertContext;
  PCCERT_CONTEXT found = api.CertFindCertificateInStore(roots, X509_ASN_ENCODING, 0,
                                                        CERT_FIND_EXISTING, last, nullptr);
  if (found == nullptr) return false;
  api.CertFreeCertificateContext(found);
  return true;
}

// The IPv4 addresses among the certificate's subject alternative names.
std::vector<TAddress> CertificateAddresses(const TSchannelApi& api, PCCERT_CONTEXT certificate) {
  std::vector<TAddress> addresses;
  const CERT_INFO* info = certificate->pCertInfo;
  PCERT_EXTENSION extension =
      api.CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
  if (extension == nullptr) return addresses;
  CERT_ALT_NAME_INFO* names = nullptr;
  DWORD size = 0;
  if (!api.CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                               extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                               &size)) {
    return addresses;
  }
  for (DWORD i = 0; i < names->cAltEntry; ++i) {
    const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
    if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == 4) {
      TAddress address;
      std::copy_n(entry.IPAddress.pbData, 4, address.begin());
      addresses.push_back(address);
    }
  }
  LocalFree(names);
  return addresses;
}

// The name a person would recognise the certificate by: its first DNS name
// (or common name), else its first address.
std::string CertificateName(const TSchannelApi& api, PCCERT_CONTEXT certificate) {
  char name[256] = {};
  if (api.CertGetNameStringA(certificate, CERT_NAME_DNS_TYPE, 0, nullptr, name, sizeof name) > 1) {
    return name;
  }
  const std::vector<TAddress> addresses = CertificateAddresses(api, certificate);
  if (addresses.empty()) return "another host";
  const TAddress& a = addresses.front();
  return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
         std::to_string(a[3]);
}

[[noreturn]] void RefuseName(const TSchannelApi& api, PCCERT_CONTEXT certificate,
                             const std::string& host) {
  throw EIdSSLProtocolReplyError("certificate is for " + CertificateName(api, certificate) +
                                 ", not " + host);
}

bool NotYetValid(PCCERT_CONTEXT certificate) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return CompareFileTime(&now, &certificate->pCertInfo->NotBefore) < 0;
}

[[noreturn]] void RefuseDates(PCCERT_CONTEXT certificate, const std::string& host) {
  Refuse(host, NotYetValid(certificate) ? "certificate not yet valid" : "certificate expired");
}

// The chain's own faults are judged here, not left to the policy alone:
// Wine's SSL policy lets a chain pass that ends short of any root.
void CheckChainTrust(PCCERT_CHAIN_CONTEXT chain, PCCERT_CONTEXT certificate, bool ownRoot,
                     const std::string& host) {
  const DWORD faults = chain->TrustStatus.dwErrorStatus;
  constexpr DWORD kNeverTrusted =
      CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_CYCLIC;
  if ((faults & kNeverTrusted) != 0 || ((faults & CERT_TRUST_IS_UNTRUSTED_ROOT) != 0 && !ownRoot)) {
    Refuse(host, "certificate not trusted");
  }
  if ((faults & CERT_TRUST_IS_NOT_TIME_VALID) != 0) RefuseDates(certificate, host);
}

[[noreturn]] void RefusePolicy(const TSchannelApi& api, PCCERT_CONTEXT certificate,
                               const std::string& host, DWORD error) {
  switch (error) {
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDCA):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDTESTROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
    case static_cast<DWORD>(TRUST_E_CERT_SIGNATURE):
      Refuse(host, "certificate not trusted");
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
      RefuseName(api, certificate, host);
    case static_cast<DWORD>(CERT_E_EXPIRED):
      RefuseDates(certificate, host);
    default:
      Refuse(host, "certificate refused: " + TLSStatusText(static_cast<long>(error)));
  }
}

std::wstring Widened(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         wide.data(), static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return wide;
}

}  // namespace

std::optional<TAddress> IPv4Literal(const std::string& host) {
  TAddress address{};
  std::size_t pos = 0;
  for (std::size_t part = 0; part < address.size(); ++part) {
    if (part > 0) {
      if (pos >= host.size() || host[pos] != '.') return std::nullopt;
      ++pos;
    }
    int value = 0, digits = 0;
    while (pos < host.size() && host[pos] >= '0' && host[pos] <= '9' && digits < 3) {
      value = value * 10 + (host[pos++] - '0');
      ++digits;
    }
    if (digits == 0 || value > 255) return std::nullopt;
    address[part] = static_cast<unsigned char>(value);
  }
  if (pos != host.size()) return std::nullopt;
  return address;
}

std::string TLSFailureText(const std::string& host, const std::string& text) {
  return host + ": " + text;
}

std::string TLSStatusText(long status) {
  std::string text = SystemErrorText(static_cast<DWORD>(status));
  if (!text.empty()) return text;
  char number[32];
  std::snprintf(number, sizeof number, "TLS error 0x%08lX", static_cast<unsigned long>(status));
  return number;
}

void VerifyServerCertificate(const TSchannelApi& api, PCCERT_CONTEXT certificate,
                             const TIdTLSSettings& settings) {
  const std::string& host = settings.HostName;
  TStore extraRoots;
  if (!settings.CAFile.empty()) extraRoots = LoadCAFile(api, settings.CAFile, host);
  const TChain chain = BuildChain(api, certificate, extraRoots.get(), host);
  // A root of the CA file is as trusted as the system's: the policy is told
  // to let only that root's being unknown pass (the Root store cannot be
  // extended per connection on every Windows, Windows 7 included).
  const bool ownRoot = EndsInOneOf(api, chain.get(), extraRoots.get());
  CheckChainTrust(chain.get(), certificate, ownRoot, host);
  const std::optional<TAddress> address = IPv4Literal(host);
  // The system's SSL policy matches names only: an address is matched
  // against the certificate's IP addresses below (RFC 6125 section 6.2.1).
  std::wstring serverName = address ? std::wstring() : Widened(host);
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = ownRoot ? kIgnoreUnknownCA : 0;
  ssl.pwszServerName = address ? nullptr : serverName.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.dwFlags = ownRoot ? CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG : 0;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!api.CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status)) {
    RefuseForLastError(host);
  }
  if (status.dwError != 0) RefusePolicy(api, certificate, host, status.dwError);
  if (address) {
    const std::vector<TAddress> addresses = CertificateAddresses(api, certificate);
    if (std::find(addresses.begin(), addresses.end(), *address) == addresses.end()) {
      RefuseName(api, certificate, host);
    }
  }
}

}  // namespace vantro
