// Cookie records: one cookie a server set, parsed from a Set-Cookie or
// Set-Cookie2 value, checked against the host that sent it and rendered back
// as text. TIdCookieRFC2109 is made for Set-Cookie, TIdCookieRFC2965 for
// Set-Cookie2; the store never makes a bare TIdNetscapeCookie.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/DateTime.h"
#include "rtl/StringList.h"

namespace vantro {

class TIdCookies;

// Decides whether the expiry is rendered.
enum TIdCookieKind : std::uint8_t { ckNetscape = 0, ckRFC2109 = 1, ckRFC2965 = 2 };

class TIdNetscapeCookie {
 public:
  explicit TIdNetscapeCookie(TIdCookies* collection);
  TIdNetscapeCookie(const TIdNetscapeCookie&) = delete;
  TIdNetscapeCookie& operator=(const TIdNetscapeCookie&) = delete;
  virtual ~TIdNetscapeCookie() = default;

  // The collection that owns this record, none once it was taken out.
  TIdCookies* Collection() const { return collection_; }
  void SetCollection(TIdCookies* collection) { collection_ = collection; }

  // Parses one header value; the same text a second time changes nothing.
  void ParseCookieText(std::string_view text);
  // Takes a newer cookie's content; anything but a TIdCookieRFC2109 (or
  // derived) changes nothing.
  void TakeContentOf(const TIdNetscapeCookie* source);

  virtual std::string RenderCookieText() const;
  virtual void AssignExpiry(std::string_view text);
  virtual std::string RenderServerText() const { return RenderCookieText(); }
  virtual std::string RenderRequestPair() const { return NameText + "=" + ValueText; }
  // attributes: "NAME=value" (name upper-cased) or "FLAG" entries.
  virtual void ApplyAttributes(const TStringList& attributes);
  // True when host, the host of the request URL, may set DomainText: it
  // domain-matches it (RFC 6265 section 5.1.3), or is it for a host-only cookie.
  virtual bool AcceptsHost(std::string_view host) const;

  // text + "; " + name=value, or text unchanged when value is empty.
  static std::string AppendAttribute(std::string_view name, std::string_view value,
                                     std::string text);
  static std::string AppendFlag(std::string_view flag, std::string text);

  // ExpiryText read with InternetDateToUTC, kept until the text changes: the
  // store's purge reads it for every cookie on every request (under its
  // write lock, which also guards this cache).
  TDateTime ExpiryUTC() const;

  std::string SourceText;
  std::string DomainText;
  std::string ExpiryText;
  std::string NameText;
  std::string PathText;
  bool SecureOnly = false;
  std::string ValueText;
  TIdCookieKind Kind = ckNetscape;
  // Set without a Domain attribute (or with its own host's public suffix):
  // goes to DomainText, its host, only (RFC 6265 section 5.3 step 6).
  bool HostOnly = false;

 private:
  friend class TIdCookies;
  TIdCookies* collection_;
  bool indexed_ = false;  // guarded by the store's lock
  mutable std::string readExpiryText_;
  mutable TDateTime readExpiry_ = 0;
};

class TIdCookieRFC2109 : public TIdNetscapeCookie {
 public:
  explicit TIdCookieRFC2109(TIdCookies* collection);

  std::string RenderCookieText() const override;
  // Also derives MaxAgeSeconds from the date.
  void AssignExpiry(std::string_view text) override;
  void ApplyAttributes(const TStringList& attributes) override;

  std::int64_t MaxAgeSeconds = -1;
  std::string VersionText;
  std::string CommentText;
};

class TIdCookieRFC2965 : public TIdCookieRFC2109 {
 public:
  explicit TIdCookieRFC2965(TIdCookies* collection);

  // Raises EConvertError for a port entry that is not an integer.
  void ApplyAttributes(const TStringList& attributes) override;
  // index may be one past the end, which adds an entry; anything else
  // outside raises EIdException "Index out of range.".
  void StorePort(int index, std::int32_t port);

  std::string CommentUrlText;
  bool DiscardFlag = false;
  std::vector<std::int32_t> Ports;
};

// The value of the last attribute called name (letter case ignored; RFC 6265
// section 5.3), empty when absent.
std::string CookieAttribute(const TStringList& attributes, std::string_view name);

}  // namespace vantro
