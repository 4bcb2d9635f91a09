// Adds the certificates of a PEM file to the machine's trusted roots (the
// LocalMachine "Root" store), as an administrator installing a company CA
// would: root_store FILE.pem. Prints how many it added.
#include <windows.h>
// after windows.h, which it builds on
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: root_store FILE.pem\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::string pem{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  HCERTSTORE root =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
  if (root == nullptr) {
    std::fprintf(stderr, "root_store: the Root store cannot be opened (%lu)\n", GetLastError());
    return 1;
  }
  const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
  int added = 0;
  for (std::size_t at = pem.find(begin); at != std::string::npos; at = pem.find(begin, at + 1)) {
    const std::size_t stop = pem.find(end, at);
    if (stop == std::string::npos) break;
    const std::string block = pem.substr(at, stop + end.size() - at);
    DWORD size = 0;
    CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                         nullptr, &size, nullptr, nullptr);
    std::vector<BYTE> der(size);
    if (size == 0 ||
        !CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                              CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr) ||
        !CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), size,
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
      std::fprintf(stderr, "root_store: certificate %d not added (%lu)\n", added + 1,
                   GetLastError());
      return 1;
    }
    ++added;
  }
  CertCloseStore(root, 0);
  std::printf("%d\n", added);
  return added > 0 ? 0 : 1;
}
