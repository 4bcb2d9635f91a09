// The Windows backend: the system's Schannel through SSPI, the server's
// certificate checked by hand through CryptoAPI (IdSchannelVerify).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tcp/IdException.h"
#include "tls/IdSchannelApi.h"
#include "tls/IdSchannelVerify.h"
#include "tls/IdTLSSession.h"

namespace vantro {
namespace {

constexpr unsigned long kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                        ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                                        ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

// What the credentials offer, best first. Windows 7 and Windows 10 before
// TLS 1.3 refuse the first at once (at AcquireCredentialsHandle or the first
// InitializeSecurityContext, before a byte is sent), and so does a system
// without ALPN: they get the second. SSL 3, TLS 1.0 and 1.1 are never offered.
struct TOffer {
  DWORD protocols;
  bool alpn;
};
constexpr TOffer kOffers[] = {{SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT, true},
                              {SP_PROT_TLS1_2_CLIENT, false}};

// A TLS record: 5 bytes of header and at most 2^14 + 2048 bytes of payload
// (RFC 5246 section 6.2.3); the input holds a few so one receive can bring
// several.
constexpr std::size_t kRecordHeader = 5;
constexpr unsigned char kAlertRecord = 21;
constexpr std::size_t kMaxRecord = kRecordHeader + 16384 + 2048;
constexpr std::size_t kInputRecords = 4;
// A handshake message may span records (a long certificate chain); beyond
// this much unconsumed input the peer is not making a handshake.
constexpr std::size_t kMaxHandshakeInput = 1024 * 1024;
// Rounds of the handshake loop before a peer that keeps it going is refused.
constexpr int kMaxHandshakeRounds = 256;
// Records encrypted into one send.
constexpr std::size_t kSendRecords = 4;

// Whether input starts like a TLS record: a content type of 20 to 23 and
// major version 3 (RFC 8446 section 5.1). A plain HTTP server, say, does
// not, and would leave Schannel waiting for the rest of a "record".
bool StartsLikeRecord(const char* at, std::size_t length) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(at);
  return length < 2 || (bytes[0] >= 20 && bytes[0] <= 23 && bytes[1] == 3);
}

// The ALPN offer as Schannel reads it: the lists' size, then one list
// (its kind, its size, then "http/1.1" with its length in front, as
// RFC 7301 section 3.1 has it on the wire).
class TAlpnOffer {
 public:
  TAlpnOffer() {
    static constexpr char kHttp11[] = "http/1.1";
    const std::uint16_t listSize = sizeof kHttp11;  // the length byte and the name
    const std::uint32_t kind = SecApplicationProtocolNegotiationExt_ALPN;
    const std::uint32_t listsSize = sizeof kind + sizeof listSize + listSize;
    unsigned char* at = bytes_;
    at = Put(at, &listsSize, sizeof listsSize);
    at = Put(at, &kind, sizeof kind);
    at = Put(at, &listSize, sizeof listSize);
    *at++ = sizeof kHttp11 - 1;
    Put(at, kHttp11, sizeof kHttp11 - 1);
    buffer_ = {sizeof bytes_, SECBUFFER_APPLICATION_PROTOCOLS, bytes_};
    desc_ = {SECBUFFER_VERSION, 1, &buffer_};
  }
  SecBufferDesc* Desc() { return &desc_; }

 private:
  static unsigned char* Put(unsigned char* at, const void* from, std::size_t size) {
    std::memcpy(at, from, size);
    return at + size;
  }
  unsigned char bytes_[4 + 4 + 2 + 1 + 8];
  SecBuffer buffer_{};
  SecBufferDesc desc_{};
};

// A token Schannel allocated, freed when it goes.
class TOutputToken {
 public:
  explicit TOutputToken(const TSchannelApi& api) : api_(api) {
    desc_.ulVersion = SECBUFFER_VERSION;
    desc_.cBuffers = 1;
    desc_.pBuffers = &buffer_;
  }
  ~TOutputToken() {
    if (buffer_.pvBuffer != nullptr) api_.sspi->FreeContextBuffer(buffer_.pvBuffer);
  }
  TOutputToken(const TOutputToken&) = delete;
  TOutputToken& operator=(const TOutputToken&) = delete;
  SecBufferDesc* Desc() { return &desc_; }
  void SendTo(TIdTLSTransport& transport) const {
    if (buffer_.pvBuffer != nullptr && buffer_.cbBuffer > 0) {
      transport.SendAll(buffer_.pvBuffer, static_cast<int>(buffer_.cbBuffer));
    }
  }

 private:
  const TSchannelApi& api_;
  SecBuffer buffer_{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc desc_{};
};

class TSchannelSession final : public TIdTLSSession {
 public:
  TSchannelSession(TIdTLSTransport& transport, const TIdTLSSettings& settings)
      : api_(SchannelApi()), transport_(transport), settings_(settings) {
    // SNI names a host, never an address (RFC 6066 section 3).
    if (!IPv4Literal(settings_.HostName)) target_ = settings_.HostName;
  }
  ~TSchannelSession() override { Release(); }

  void Handshake() override;
  int Read(void* buffer, int length) override;
  bool Pending() const override;
  void Write(const void* buffer, int length) override;
  void Close() noexcept override;

 private:
  SECURITY_STATUS Start(const TOffer& offer);
  void Negotiate(bool receiveFirst);
  int ReceiveMore(std::size_t limit);
  bool DecryptRecord();
  void Release() noexcept;
  [[noreturn]] void Fail(SECURITY_STATUS status) const;
  SEC_CHAR* Target() { return target_.empty() ? nullptr : target_.data(); }

  const TSchannelApi& api_;
  TIdTLSTransport& transport_;
  const TIdTLSSettings settings_;
  std::string target_;
  CredHandle credentials_{};
  CtxtHandle context_{};
  bool haveCredentials_ = false;
  bool haveContext_ = false;
  bool open_ = false;            // handshake done, close_notify not yet sent
  bool peerClosed_ = false;      // the peer's close_notify came
  bool handshakeWaits_ = false;  // once the bytes decrypted before it are read
  SecPkgContext_StreamSizes sizes_{};
  // Received bytes not yet decrypted: input_[inputBegin_, inputEnd_).
  std::vector<char> input_ = std::vector<char>(kMaxRecord * kInputRecords);
  std::size_t inputBegin_ = 0;
  std::size_t inputEnd_ = 0;
  // Decrypted bytes not yet read, in place inside input_.
  char* plain_ = nullptr;
  std::size_t plainLength_ = 0;
  std::vector<char> output_;
};

void TSchannelSession::Fail(SECURITY_STATUS status) const {
  throw EIdSSLProtocolReplyError(
      TLSFailureText(settings_.HostName, "TLS handshake failed: " + TLSStatusText(status)));
}

void TSchannelSession::Release() noexcept {
  if (haveContext_) api_.sspi->DeleteSecurityContext(&context_);
  if (haveCredentials_) api_.sspi->FreeCredentialsHandle(&credentials_);
  haveContext_ = haveCredentials_ = false;
}

// Credentials for the offer and the ClientHello; a status other than
// SEC_I_CONTINUE_NEEDED means this system does not take the offer.
SECURITY_STATUS TSchannelSession::Start(const TOffer& offer) {
  SCHANNEL_CRED cred{};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  cred.grbitEnabledProtocols = offer.protocols;
  // The certificate is checked by VerifyServerCertificate; no client
  // certificate is ever chosen for the user.
  cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  TimeStamp expiry;
  SECURITY_STATUS status = api_.sspi->AcquireCredentialsHandleA(
      nullptr, const_cast<SEC_CHAR*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr,
      nullptr, &credentials_, &expiry);
  if (status != SEC_E_OK) return status;
  haveCredentials_ = true;
  TAlpnOffer alpn;
  TOutputToken hello(api_);
  unsigned long attributes = 0;
  status = api_.sspi->InitializeSecurityContextA(&credentials_, nullptr, Target(), kContextFlags, 0,
                                                 0, offer.alpn ? alpn.Desc() : nullptr, 0,
                                                 &context_, hello.Desc(), &attributes, &expiry);
  if (status != SEC_I_CONTINUE_NEEDED) {
    if (status == SEC_E_OK) api_.sspi->DeleteSecurityContext(&context_);
    Release();
    return status == SEC_E_OK ? SEC_E_INTERNAL_ERROR : status;
  }
  haveContext_ = true;
  hello.SendTo(transport_);
  return status;
}

void TSchannelSession::Handshake() {
  SECURITY_STATUS status = SEC_E_INTERNAL_ERROR;
  for (const TOffer& offer : kOffers) {
    status = Start(offer);
    if (status == SEC_I_CONTINUE_NEEDED) break;
  }
  if (!haveContext_) Fail(status);
  Negotiate(true);
  if (settings_.VerifyPeer) {
    PCCERT_CONTEXT certificate = nullptr;
    status = api_.sspi->QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                                &certificate);
    if (status != SEC_E_OK || certificate == nullptr) Fail(status);
    try {
      VerifyServerCertificate(api_, certificate, settings_);
    } catch (...) {
      api_.CertFreeCertificateContext(certificate);
      throw;
    }
    api_.CertFreeCertificateContext(certificate);
  }
  status = api_.sspi->QueryContextAttributesA(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
  if (status != SEC_E_OK) Fail(status);
  output_.resize((sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer) * kSendRecords);
  open_ = true;
}

// Receives more bytes into the input, keeping at most limit bytes
// unconsumed; 0 when the peer closed the TCP connection.
int TSchannelSession::ReceiveMore(std::size_t limit) {
  const std::size_t held = inputEnd_ - inputBegin_;
  if (held >= limit) {
    throw EIdSSLProtocolReplyError(
        TLSFailureText(settings_.HostName, "TLS peer sent more than a record can hold"));
  }
  if (inputBegin_ > 0) {
    std::memmove(input_.data(), input_.data() + inputBegin_, held);
    inputBegin_ = 0;
    inputEnd_ = held;
  }
  if (inputEnd_ == input_.size()) input_.resize(std::min(input_.size() * 2, limit));
  const int received =
      transport_.Receive(input_.data() + inputEnd_, static_cast<int>(input_.size() - inputEnd_));
  if (received > 0) inputEnd_ += static_cast<std::size_t>(received);
  return received;
}

// The handshake's rounds until Schannel says it is done; the bytes after it
// stay in the input for the first read.
void TSchannelSession::Negotiate(bool receiveFirst) {
  bool receive = receiveFirst;
  for (int round = 0; round < kMaxHandshakeRounds; ++round) {
    if (receive && ReceiveMore(kMaxHandshakeInput) <= 0) {
      throw EIdSSLProtocolReplyError(TLSFailureText(
          settings_.HostName, "the server closed the connection during the TLS handshake"));
    }
    if (!StartsLikeRecord(input_.data() + inputBegin_, inputEnd_ - inputBegin_)) {
      throw EIdSSLProtocolReplyError(
          TLSFailureText(settings_.HostName, "the server does not answer in TLS"));
    }
    SecBuffer in[2] = {{static_cast<unsigned long>(inputEnd_ - inputBegin_), SECBUFFER_TOKEN,
                        input_.data() + inputBegin_},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
    TOutputToken out(api_);
    unsigned long attributes = 0;
    TimeStamp expiry;
    const SECURITY_STATUS status = api_.sspi->InitializeSecurityContextA(
        &credentials_, &context_, Target(), kContextFlags, 0, 0, &inDesc, 0, nullptr, out.Desc(),
        &attributes, &expiry);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      receive = true;
      continue;
    }
    if (FAILED(status)) {
      // The alert that says why, as a courtesy: the failure is what counts.
      try {
        out.SendTo(transport_);
      } catch (const EIdException&) {
      }
      Fail(status);
    }
    out.SendTo(transport_);
    inputBegin_ = in[1].BufferType == SECBUFFER_EXTRA ? inputEnd_ - in[1].cbBuffer : inputEnd_;
    if (status == SEC_E_OK) return;
    // More to receive, unless Schannel left input unread; asked for a client
    // certificate, it goes on without one.
    if (status == SEC_I_CONTINUE_NEEDED) {
      receive = inputBegin_ == inputEnd_;
    } else if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
      receive = false;
    } else {
      Fail(status);
    }
  }
  throw EIdSSLProtocolReplyError(
      TLSFailureText(settings_.HostName, "the TLS handshake does not end"));
}

// Decrypts the record at the start of the input; false when it is not whole.
bool TSchannelSession::DecryptRecord() {
  if (inputBegin_ == inputEnd_) return false;
  SecBuffer buffers[4] = {{static_cast<unsigned long>(inputEnd_ - inputBegin_), SECBUFFER_DATA,
                           input_.data() + inputBegin_},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
  const bool alert = static_cast<unsigned char>(input_[inputBegin_]) == kAlertRecord;
  const SECURITY_STATUS status = api_.sspi->DecryptMessage(&context_, &desc, 0, nullptr);
  if (status == SEC_E_INCOMPLETE_MESSAGE) return false;
  if (status == SEC_I_CONTEXT_EXPIRED) {
    peerClosed_ = true;
    return true;
  }
  if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) {
    throw EIdSSLProtocolReplyError(TLSFailureText(settings_.HostName, TLSStatusText(status)));
  }
  std::size_t extra = 0;
  for (const SecBuffer& buffer : buffers) {
    if (buffer.BufferType == SECBUFFER_DATA) {
      plain_ = static_cast<char*>(buffer.pvBuffer);
      plainLength_ = buffer.cbBuffer;
    } else if (buffer.BufferType == SECBUFFER_EXTRA) {
      extra = buffer.cbBuffer;
    }
  }
  inputBegin_ = inputEnd_ - extra;
  // Wine's Schannel gives the peer's close_notify as an alert that decrypts
  // to nothing, where Windows says SEC_I_CONTEXT_EXPIRED.
  if (status == SEC_E_OK && alert && plainLength_ == 0) peerClosed_ = true;
  // A TLS 1.3 peer's tickets and key updates (and a TLS 1.2 peer's new
  // handshake) go to the handshake, starting with what is already here.
  if (status == SEC_I_RENEGOTIATE) handshakeWaits_ = true;
  return true;
}

int TSchannelSession::Read(void* buffer, int length) {
  if (length <= 0) return 0;
  for (;;) {
    if (plainLength_ > 0) {
      const std::size_t n = std::min(plainLength_, static_cast<std::size_t>(length));
      std::memcpy(buffer, plain_, n);
      plain_ += n;
      plainLength_ -= n;
      return static_cast<int>(n);
    }
    if (peerClosed_ || !open_) return 0;
    if (handshakeWaits_) {
      Negotiate(false);
      handshakeWaits_ = false;
    }
    if (DecryptRecord()) continue;
    // A TCP close without close_notify is a close like any other: the
    // body's framing decides whether what came was whole.
    if (ReceiveMore(kMaxRecord) <= 0) return 0;
  }
}

bool TSchannelSession::Pending() const {
  if (plainLength_ > 0 || peerClosed_) return true;
  const std::size_t held = inputEnd_ - inputBegin_;
  if (held < kRecordHeader) return false;
  const auto* header = reinterpret_cast<const unsigned char*>(input_.data() + inputBegin_);
  return held >= kRecordHeader + (static_cast<std::size_t>(header[3]) << 8 | header[4]);
}

void TSchannelSession::Write(const void* buffer, int length) {
  if (!open_) {
    throw EIdSSLProtocolReplyError(
        TLSFailureText(settings_.HostName, "the TLS session is not open"));
  }
  const char* data = static_cast<const char*>(buffer);
  std::size_t left = length > 0 ? static_cast<std::size_t>(length) : 0;
  const std::size_t recordSpace = sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer;
  while (left > 0) {
    std::size_t used = 0;
    while (left > 0 && used + recordSpace <= output_.size()) {
      const std::size_t chunk = std::min<std::size_t>(left, sizes_.cbMaximumMessage);
      char* header = output_.data() + used;
      std::memcpy(header + sizes_.cbHeader, data, chunk);
      SecBuffer buffers[4] = {
          {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, header},
          {static_cast<unsigned long>(chunk), SECBUFFER_DATA, header + sizes_.cbHeader},
          {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, header + sizes_.cbHeader + chunk},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      const SECURITY_STATUS status = api_.sspi->EncryptMessage(&context_, 0, &desc, 0);
      if (status != SEC_E_OK) {
        throw EIdSSLProtocolReplyError(TLSFailureText(settings_.HostName, TLSStatusText(status)));
      }
      used += buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
      data += chunk;
      left -= chunk;
    }
    transport_.SendAll(output_.data(), static_cast<int>(used));
  }
}

void TSchannelSession::Close() noexcept {
  if (!open_) return;
  open_ = false;
  DWORD shutdown = SCHANNEL_SHUTDOWN;
  SecBuffer control{sizeof shutdown, SECBUFFER_TOKEN, &shutdown};
  SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
  if (api_.sspi->ApplyControlToken(&context_, &controlDesc) != SEC_E_OK) return;
  TOutputToken notify(api_);
  unsigned long attributes = 0;
  TimeStamp expiry;
  const SECURITY_STATUS status = api_.sspi->InitializeSecurityContextA(
      &credentials_, &context_, Target(), kContextFlags, 0, 0, nullptr, 0, nullptr, notify.Desc(),
      &attributes, &expiry);
  if (FAILED(status)) return;
  // The peer may be gone already; closing never raises.
  try {
    notify.SendTo(transport_);
  } catch (...) {
  }
}

}  // namespace

std::unique_ptr<TIdTLSSession> NewTLSSession(TIdTLSTransport& transport,
                                             const TIdTLSSettings& settings) {
  return std::make_unique<TSchannelSession>(transport, settings);
}

}  // namespace vantro
