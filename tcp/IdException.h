// The network library's exception tree. Only EIdSocketError,
// EIdProtocolReplyError and EIdWS2StubError carry data beyond the message.
#pragma once

#include <string>
#include <utility>

#include "rtl/Exception.h"

namespace vantro {

class EIdException : public Exception {
 public:
  using Exception::Exception;
};

#define VANTRO_EXCEPTION(Name, Base) \
  class Name : public Base {         \
   public:                           \
    using Base::Base;                \
  }

VANTRO_EXCEPTION(EIdSilentException, EIdException);
VANTRO_EXCEPTION(EIdConnClosedGracefully, EIdSilentException);
VANTRO_EXCEPTION(EIdAlreadyConnected, EIdException);
VANTRO_EXCEPTION(EIdClosedSocket, EIdException);
VANTRO_EXCEPTION(EIdReadTimeout, EIdException);
VANTRO_EXCEPTION(EIdReadLnMaxLineLengthExceeded, EIdException);
VANTRO_EXCEPTION(EIdInvalidServiceName, EIdException);
VANTRO_EXCEPTION(EIdConnectTimeout, EIdException);
VANTRO_EXCEPTION(EIdConnectException, EIdException);
VANTRO_EXCEPTION(EIdSocksError, EIdException);
VANTRO_EXCEPTION(EIdSocksRequestFailed, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksRequestServerFailed, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksRequestIdentFailed, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksUnknownError, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksServerRespondError, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksAuthMethodError, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksAuthError, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksServerGeneralError, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksServerPermissionError, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksServerNetUnreachableError, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksServerHostUnreachableError, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksServerConnectionRefusedError, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksServerTTLExpiredError, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksServerCommandError, EIdSocksError);
VANTRO_EXCEPTION(EIdSocksServerAddressError, EIdSocksError);
VANTRO_EXCEPTION(EIdInvalidSocket, EIdException);
VANTRO_EXCEPTION(EIdStackError, EIdException);
VANTRO_EXCEPTION(EIdStackInitializationFailed, EIdStackError);
VANTRO_EXCEPTION(EIdStackSetSizeExceeded, EIdStackError);
VANTRO_EXCEPTION(EIdSocketHandleError, EIdException);
VANTRO_EXCEPTION(EIdCouldNotBindSocket, EIdSocketHandleError);
VANTRO_EXCEPTION(EIdCanNotBindPortInRange, EIdSocketHandleError);
VANTRO_EXCEPTION(EIdInvalidPortRange, EIdSocketHandleError);
VANTRO_EXCEPTION(EIdTCPConnectionError, EIdException);
VANTRO_EXCEPTION(EIdNotEnoughDataInBuffer, EIdTCPConnectionError);
VANTRO_EXCEPTION(EIdNoDataToRead, EIdTCPConnectionError);
VANTRO_EXCEPTION(EIdNotConnected, EIdTCPConnectionError);
VANTRO_EXCEPTION(EIdFileNotFound, EIdTCPConnectionError);
VANTRO_EXCEPTION(EIdIOHandlerPropInvalid, EIdTCPConnectionError);

// A failing socket call: the message is "Socket Error # %d\r\n%s".
class EIdSocketError : public EIdException {
 public:
  EIdSocketError(int lastError, std::string message)
      : EIdException(std::move(message)), lastError_(lastError) {}
  int LastError() const { return lastError_; }

 private:
  int lastError_;
};

// A reply the protocol does not accept, with its numeric code.
class EIdProtocolReplyError : public EIdException {
 public:
  EIdProtocolReplyError(int replyCode, std::string message)
      : EIdException(std::move(message)), replyCode_(replyCode) {}
  int ReplyCode() const { return replyCode_; }

 private:
  int replyCode_;
};

// A TLS handshake or the peer's certificate failed; the message says which
// check failed and for which host.
class EIdSSLProtocolReplyError : public EIdProtocolReplyError {
 public:
  explicit EIdSSLProtocolReplyError(std::string message)
      : EIdProtocolReplyError(0, std::move(message)) {}
};

// The socket library could not be loaded or an entry point is missing.
class EIdWS2StubError : public EIdException {
 public:
  EIdWS2StubError(int systemErrorCode, std::string systemErrorText, std::string title)
      : EIdException(systemErrorCode != 0 ? systemErrorText + ": " + title : title),
        systemErrorCode_(systemErrorCode),
        systemErrorText_(std::move(systemErrorText)),
        title_(std::move(title)) {}
  int SystemErrorCode() const { return systemErrorCode_; }
  const std::string& SystemErrorText() const { return systemErrorText_; }
  const std::string& Title() const { return title_; }

 private:
  int systemErrorCode_;
  std::string systemErrorText_;
  std::string title_;
};

}  // namespace vantro
