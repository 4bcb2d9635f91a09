// Typed header records of HTTP messages. Each keeps its headers twice: as
// fields and as the raw lines of HeaderLines. StoreToHeaderLines rebuilds the
// lines from the fields before sending; LoadFromHeaderLines fills the fields
// from the lines of a received head. Dates are local date-time values, 0 for
// none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "http/IdHeaderList.h"
#include "httpstate/IdAuthentication.h"
#include "rtl/DateTime.h"
#include "rtl/Persistent.h"

namespace vantro {

class TIdEntityHeaderInfo : public TPersistent {
 public:
  TIdEntityHeaderInfo();

  std::string ClassName() const override { return "TIdEntityHeaderInfo"; }

  virtual void LoadFromHeaderLines();
  virtual void StoreToHeaderLines();
  virtual void ResetFields();

  std::int64_t ContentLength() const { return contentLength_; }
  // Also records whether a length is given (value 0 or more).
  void SetContentLength(std::int64_t value);
  bool ContentLengthGiven() const { return contentLengthGiven_; }

  TIdHeaderList& HeaderLines() { return headerLines_; }
  const TIdHeaderList& HeaderLines() const { return headerLines_; }
  TIdHeaderList& CustomHeaders() { return customHeaders_; }
  const TIdHeaderList& CustomHeaders() const { return customHeaders_; }
  void SetCustomHeaders(const TStringList& lines);

  std::string CacheControl;
  std::string Connection;
  std::string ContentEncoding;
  std::string ContentLanguage;
  std::uint32_t ContentRangeEnd = 0;
  std::uint32_t ContentRangeStart = 0;
  std::string ContentType;
  std::string ContentVersion;
  TDateTime Date = 0;
  TDateTime Expires = 0;
  TDateTime LastModified = 0;
  std::string Pragma;

 protected:
  void AssignTo(TPersistent& dest) const override;
  void LoadEntityFields();
  void StoreEntityFields();
  void ResetEntityFields();
  // Writes contentLength_ without touching contentLengthGiven_.
  void PutContentLength(std::int64_t value) { contentLength_ = value; }

 private:
  TIdHeaderList headerLines_;
  TIdHeaderList customHeaders_;
  std::int64_t contentLength_ = -1;
  bool contentLengthGiven_ = false;
};

class TIdRequestHeaderInfo : public TIdEntityHeaderInfo {
 public:
  TIdRequestHeaderInfo();

  std::string ClassName() const override { return "TIdRequestHeaderInfo"; }

  void LoadFromHeaderLines() override;
  void StoreToHeaderLines() override;
  void ResetFields() override;

  std::string Accept;
  std::string AcceptCharSet;
  std::string AcceptEncoding;
  std::string AcceptLanguage;
  std::string From;
  std::string Password;
  std::string Referer;
  std::string UserAgent;
  std::string Username;
  std::string Host;
  bool BasicAuthentication = false;
  std::string ProxyConnection;
  std::unique_ptr<TIdAuthentication> AuthObject;

 protected:
  void AssignTo(TPersistent& dest) const override;

 private:
  void ResetRequestFields();
};

class TIdResponseHeaderInfo : public TIdEntityHeaderInfo {
 public:
  TIdResponseHeaderInfo();

  std::string ClassName() const override { return "TIdResponseHeaderInfo"; }

  // Values the record cannot hold (a Content-Range position past 32 bits or
  // "*", an Expires number outside 0..86399) are kept as unknown: 0.
  void LoadFromHeaderLines() override;
  void ResetFields() override;

  TIdHeaderList& ProxyAuthenticate() { return proxyAuthenticate_; }
  const TIdHeaderList& ProxyAuthenticate() const { return proxyAuthenticate_; }
  void SetProxyAuthenticate(const TStringList& lines);
  TIdHeaderList& WWWAuthenticate() { return wwwAuthenticate_; }
  const TIdHeaderList& WWWAuthenticate() const { return wwwAuthenticate_; }
  void SetWWWAuthenticate(const TStringList& lines);

  std::string Location;
  std::string Server;
  std::string ProxyConnection;

 private:
  void ResetResponseFields();

  TIdHeaderList proxyAuthenticate_;
  TIdHeaderList wwwAuthenticate_;
};

class TIdProxyConnectionInfo : public TPersistent {
 public:
  TIdProxyConnectionInfo() { ResetFields(); }

  std::string ClassName() const override { return "TIdProxyConnectionInfo"; }

  void ResetFields();
  // Adds "Proxy-Authorization" to a request's lines when there are credentials.
  void AddProxyAuthorization(TIdHeaderList& lines);

  const std::string& ProxyServer() const { return proxyServer_; }
  // A different server or port drops the scheme object of the old proxy.
  void SetProxyServer(std::string value);
  std::int32_t ProxyPort() const { return proxyPort_; }
  void SetProxyPort(std::int32_t value);

  std::string ProxyUsername;
  std::string ProxyPassword;
  bool BasicAuthentication = false;
  std::unique_ptr<TIdAuthentication> AuthObject;

 protected:
  void AssignTo(TPersistent& dest) const override;

 private:
  std::string proxyServer_;
  std::int32_t proxyPort_ = 0;
};

}  // namespace vantro
