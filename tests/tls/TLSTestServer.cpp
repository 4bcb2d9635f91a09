#include "tests/tls/TLSTestServer.h"

#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace vantro::test {
namespace {

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test CA: ") + what);
}

void AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  Check(extension != nullptr, "extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

X509* NewCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer, long fromDays,
                     long toDays) {
  static long serial = 1;
  X509* certificate = X509_new();
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial++);
  X509_gmtime_adj(X509_getm_notBefore(certificate), fromDays * 86400);
  X509_gmtime_adj(X509_getm_notAfter(certificate), toDays * 86400);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
  X509_set_issuer_name(certificate, issuer != nullptr ? X509_get_subject_name(issuer) : name);
  return certificate;
}

}  // namespace

TestCA::TestCA() {
  key_ = EVP_EC_gen("P-256");
  Check(key_ != nullptr, "key");
  root_ = NewCertificate(key_, "Vantro test root", nullptr, -1, 30);
  AddExtension(root_, root_, NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(root_, root_, NID_key_usage, "critical,keyCertSign,cRLSign");
  Check(X509_sign(root_, key_, EVP_sha256()) > 0, "sign root");
  char path[] = "/tmp/vantro-test-ca.XXXXXX";
  const int fd = mkstemp(path);
  Check(fd >= 0, "temp file");
  close(fd);
  rootFile_ = path;
  FILE* file = std::fopen(path, "w");
  Check(file != nullptr && PEM_write_X509(file, root_) == 1, "write root");
  std::fclose(file);
}

TestCA::~TestCA() {
  for (SSL_CTX* context : contexts_)
    SSL_CTX_free(context);
  X509_free(root_);
  EVP_PKEY_free(key_);
  std::remove(rootFile_.c_str());
}

SSL_CTX* TestCA::ServerContext(const CertificateRecipe& recipe, int maxVersion) {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  Check(key != nullptr, "leaf key");
  X509* leaf =
      NewCertificate(key, "Vantro test server", root_, recipe.ValidFromDays, recipe.ValidToDays);
  std::string names;
  for (const std::string& name : recipe.Names)
    names += (names.empty() ? "" : ",") + name;
  if (!names.empty()) AddExtension(leaf, root_, NID_subject_alt_name, names);
  if (recipe.Padding > 0)
    AddExtension(leaf, root_, NID_netscape_comment, std::string(recipe.Padding, 'p'));
  Check(X509_sign(leaf, key_, EVP_sha256()) > 0, "sign leaf");
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  Check(context != nullptr && SSL_CTX_use_certificate(context, leaf) == 1 &&
            SSL_CTX_use_PrivateKey(context, key) == 1,
        "server context");
  if (maxVersion != 0) SSL_CTX_set_max_proto_version(context, maxVersion);
  X509_free(leaf);
  EVP_PKEY_free(key);
  contexts_.push_back(context);
  return context;
}

std::string TlsPeer::ReadHead() {
  char buffer[4096];
  std::size_t end;
  while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
    const int n = SSL_read(ssl_, buffer, sizeof buffer);
    if (n <= 0) return {};
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
  std::string head = pending_.substr(0, end + 4);
  pending_.erase(0, end + 4);
  return head;
}

bool TlsPeer::Send(const std::string& bytes) {
  return bytes.empty() || SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size())) > 0;
}

bool TlsPeer::ClientSentCloseNotify() {
  char byte;
  const int n = SSL_read(ssl_, &byte, 1);
  return n <= 0 && SSL_get_error(ssl_, n) == SSL_ERROR_ZERO_RETURN;
}

// OpenSSL writes to the socket itself: a client that went away must not end
// the test program with SIGPIPE.
[[maybe_unused]] const bool kSigpipeIgnored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;

TlsTestServer::TlsTestServer(SSL_CTX* context, Script script)
    : context_(context), script_(std::move(script)), server_([this](TcpPeer& tcp) {
        SSL* ssl = SSL_new(context_);
        SSL_set_fd(ssl, static_cast<int>(tcp.Socket()));
        if (SSL_accept(ssl) == 1) {
          ++handshakes_;
          TlsPeer peer(ssl);
          script_(peer);
        }
        SSL_free(ssl);
        ERR_clear_error();
      }) {}

ConnectProxy::ConnectProxy(int targetPort)
    : targetPort_(targetPort), server_([this](TcpPeer& peer) { Serve(peer); }) {}

std::vector<std::string> ConnectProxy::Lines() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

void ConnectProxy::Serve(TcpPeer& peer) {
  std::string line = peer.ReceiveLine();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
  }
  while (!line.empty() && line != "\r")
    line = peer.ReceiveLine();
  const int target = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(targetPort_));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(target, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      !peer.Send("HTTP/1.1 200 Connection established\r\n\r\n")) {
    close(target);
    return;
  }
  pollfd ends[2] = {{static_cast<int>(peer.Socket()), POLLIN, 0}, {target, POLLIN, 0}};
  char buffer[16384];
  while (poll(ends, 2, 5000) > 0) {
    const int from = (ends[0].revents & (POLLIN | POLLHUP)) != 0 ? 0 : 1;
    const ssize_t n = recv(ends[from].fd, buffer, sizeof buffer, 0);
    if (n <= 0 || send(ends[1 - from].fd, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n)
      break;
  }
  close(target);
}

}  // namespace vantro::test
