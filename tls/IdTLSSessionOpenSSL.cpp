// The TLS session natively: OpenSSL 3 over the handler's socket through a BIO
// of our own, so every byte goes through the handler's waits and time-outs.
#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <exception>
#include <map>
#include <memory>
#include <mutex>

#include "tcp/IdException.h"
#include "tls/IdTLSSession.h"

namespace vantro {
namespace {

// ALPN's list: one protocol, length-prefixed (RFC 7301 section 3.1).
constexpr unsigned char kAlpnHttp11[] = {8, 'h', 't', 't', 'p', '/', '1', '.', '1'};

// The reason of the last error OpenSSL queued; empty when it queued none.
std::string QueuedReason() {
  const unsigned long code = ERR_peek_last_error();
  if (code == 0) return {};
  const char* reason = ERR_reason_error_string(code);
  return reason != nullptr ? reason : "error " + std::to_string(ERR_GET_REASON(code));
}

bool IsIPLiteral(const std::string& host) {
  unsigned char address[16];
  return inet_pton(AF_INET, host.c_str(), address) == 1 ||
         inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// The name a certificate is for, as a person reads it: its first DNS or IP
// name, else its common name.
std::string NameOf(X509* certificate) {
  std::string name;
  auto* names = static_cast<GENERAL_NAMES*>(
      X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
  for (int i = 0; names != nullptr && i < sk_GENERAL_NAME_num(names) && name.empty(); ++i) {
    const GENERAL_NAME* entry = sk_GENERAL_NAME_value(names, i);
    if (entry->type == GEN_DNS) {
      const ASN1_STRING* text = entry->d.dNSName;
      name.assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(text)),
                  static_cast<std::size_t>(ASN1_STRING_length(text)));
    } else if (entry->type == GEN_IPADD && ASN1_STRING_length(entry->d.iPAddress) == 4) {
      char text[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, ASN1_STRING_get0_data(entry->d.iPAddress), text, sizeof text);
      name = text;
    }
  }
  GENERAL_NAMES_free(names);
  if (name.empty()) {
    char common[256] = {};
    if (X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, common,
                                  sizeof common) > 0)
      name = common;
  }
  return name.empty() ? std::string("no name") : name;
}

// Contexts by CA file, made once: the system's roots take milliseconds to
// load, which a connection should not pay each time.
using ContextHandle = std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)>;

SSL_CTX* SharedContext(const std::string& caFile, const std::string& host) {
  // OpenSSL first, so that its clean-up at exit runs after the contexts are freed.
  [[maybe_unused]] static const bool initialised = OPENSSL_init_ssl(0, nullptr) == 1;
  static std::mutex mutex;
  static std::map<std::string, ContextHandle> contexts;
  const std::lock_guard<std::mutex> lock(mutex);
  auto found = contexts.find(caFile);
  if (found == contexts.end()) {
    SSL_CTX* made = SSL_CTX_new(TLS_client_method());
    if (made == nullptr) throw EIdSSLProtocolReplyError(host + ": TLS: " + QueuedReason());
    // SSL 3, TLS 1.0 and 1.1 are broken or deprecated (RFC 8996).
    SSL_CTX_set_min_proto_version(made, TLS1_2_VERSION);
    // A TCP close without close_notify is a close like any other: the body's
    // framing decides whether what came is whole.
    SSL_CTX_set_options(made, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
    // OpenSSL's default paths, so SSL_CERT_FILE and SSL_CERT_DIR work as for every
    // OpenSSL program.
    SSL_CTX_set_default_verify_paths(made);
    if (!caFile.empty() && SSL_CTX_load_verify_locations(made, caFile.c_str(), nullptr) != 1) {
      const std::string reason = QueuedReason();
      SSL_CTX_free(made);
      throw EIdSSLProtocolReplyError(host + ": the CA file " + caFile +
                                     " could not be read: " + reason);
    }
    found = contexts.emplace(caFile, ContextHandle(made, &SSL_CTX_free)).first;
  }
  SSL_CTX_up_ref(found->second.get());
  return found->second.get();
}

class OpenSSLSession final : public TIdTLSSession {
 public:
  OpenSSLSession(TIdTLSTransport& transport, const TIdTLSSettings& settings)
      : transport_(transport), settings_(settings) {
    ERR_clear_error();
    SSL_CTX* context = SharedContext(settings.CAFile, settings.HostName);
    ssl_ = SSL_new(context);
    SSL_CTX_free(context);
    if (ssl_ == nullptr) throw EIdSSLProtocolReplyError(Said(QueuedReason()));
    BIO* bio = BIO_new(Method());
    BIO_set_data(bio, this);
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl_, bio, bio);
    SSL_set_connect_state(ssl_);
    SSL_set_alpn_protos(ssl_, kAlpnHttp11, sizeof kAlpnHttp11);
    const std::string& host = settings.HostName;
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    if (IsIPLiteral(host)) {
      // No SNI for an address (RFC 6066 section 3); its IP names must hold it.
      X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
      SSL_set_tlsext_host_name(ssl_, host.c_str());
      X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
      X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
    }
    SSL_set_verify(ssl_, settings.VerifyPeer ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
  }

  ~OpenSSLSession() override { SSL_free(ssl_); }

  void Handshake() override {
    ERR_clear_error();
    if (SSL_connect(ssl_) == 1) {
      up_ = true;
      return;
    }
    const long verdict = SSL_get_verify_result(ssl_);
    if (settings_.VerifyPeer && verdict != X509_V_OK) {
      throw EIdSSLProtocolReplyError(CertificateFailure(verdict));
    }
    RaiseTransportFailure();
    const std::string reason = QueuedReason();
    throw EIdSSLProtocolReplyError(
        Said(reason.empty() ? "the server closed the connection during the TLS handshake"
                            : "TLS handshake failed: " + reason));
  }

  int Read(void* buffer, int length) override {
    ERR_clear_error();
    const int n = SSL_read(ssl_, buffer, length);
    if (n > 0) return n;
    const int error = SSL_get_error(ssl_, n);
    if (error == SSL_ERROR_ZERO_RETURN) return 0;
    RaiseTransportFailure();
    const std::string reason = QueuedReason();
    if (reason.empty()) return 0;  // the TCP connection ended
    throw EIdSSLProtocolReplyError(Said(reason));
  }

  bool Pending() const override { return SSL_pending(ssl_) > 0; }

  void Write(const void* buffer, int length) override {
    if (length <= 0) return;
    ERR_clear_error();
    // Without partial writes SSL_write sends everything or fails.
    if (SSL_write(ssl_, buffer, length) == length) return;
    RaiseTransportFailure();
    throw EIdSSLProtocolReplyError(Said(QueuedReason()));
  }

  void Close() noexcept override {
    if (!up_) return;
    up_ = false;
    // Sends close_notify; the peer's own is not waited for (RFC 8446 section 6.1).
    SSL_shutdown(ssl_);
    failure_ = nullptr;
    ERR_clear_error();
  }

 private:
  static BIO_METHOD* Method() {
    static BIO_METHOD* const method = [] {
      BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "transport");
      BIO_meth_set_read(made, &OpenSSLSession::BioRead);
      BIO_meth_set_write(made, &OpenSSLSession::BioWrite);
      BIO_meth_set_ctrl(made, &OpenSSLSession::BioCtrl);
      return made;
    }();
    return method;
  }

  // The transport's exceptions must not cross OpenSSL's C frames: each is
  // kept, OpenSSL is told to retry later, and the exception is raised again
  // once the call into OpenSSL returned.
  static int BioRead(BIO* bio, char* buffer, int length) {
    auto* self = static_cast<OpenSSLSession*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    try {
      return self->transport_.Receive(buffer, length);
    } catch (...) {
      self->failure_ = std::current_exception();
      BIO_set_retry_read(bio);
      return -1;
    }
  }

  static int BioWrite(BIO* bio, const char* buffer, int length) {
    auto* self = static_cast<OpenSSLSession*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    try {
      self->transport_.SendAll(buffer, length);
      return length;
    } catch (...) {
      self->failure_ = std::current_exception();
      BIO_set_retry_write(bio);
      return -1;
    }
  }

  static long BioCtrl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

  void RaiseTransportFailure() {
    if (failure_ != nullptr) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

  std::string Said(const std::string& what) const { return settings_.HostName + ": " + what; }

  std::string CertificateFailure(long verdict) const {
    switch (verdict) {
      case X509_V_ERR_CERT_HAS_EXPIRED:
        return Said("certificate expired");
      case X509_V_ERR_CERT_NOT_YET_VALID:
        return Said("certificate not yet valid");
      case X509_V_ERR_HOSTNAME_MISMATCH:
      case X509_V_ERR_IP_ADDRESS_MISMATCH: {
        STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl_);
        X509* leaf = chain != nullptr && sk_X509_num(chain) > 0 ? sk_X509_value(chain, 0) : nullptr;
        return "certificate is for " +
               (leaf != nullptr ? NameOf(leaf) : std::string("another host")) + ", not " +
               settings_.HostName;
      }
      case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
      case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
      case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
      case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
      case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      case X509_V_ERR_CERT_UNTRUSTED:
        return Said("certificate not trusted");
      default:
        return Said(std::string("certificate refused: ") + X509_verify_cert_error_string(verdict));
    }
  }

  TIdTLSTransport& transport_;
  const TIdTLSSettings settings_;
  SSL* ssl_ = nullptr;
  std::exception_ptr failure_;
  bool up_ = false;
};

}  // namespace

std::unique_ptr<TIdTLSSession> NewTLSSession(TIdTLSTransport& transport,
                                             const TIdTLSSettings& settings) {
  return std::make_unique<OpenSSLSession>(transport, settings);
}

}  // namespace vantro
