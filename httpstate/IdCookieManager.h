// The cookie manager the HTTP client consults on every exchange: it takes the
// Set-Cookie and Set-Cookie2 values of a response, keeps what the domain
// check lets through, and builds the Cookie header of a request.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "http/IdURI.h"
#include "httpstate/IdCookieRules.h"
#include "httpstate/IdCookies.h"
#include "tcp/IdBaseComponent.h"

namespace vantro {

class TIdCookieManager : public TIdBaseComponent {
 public:
  using TOnManagerEvent = std::function<void(TIdCookieManager& sender, TIdCookies& cookies)>;
  // accept is true on entry; set it false to drop the cookie.
  using TOnNewCookieEvent =
      std::function<void(TIdCookieManager& sender, TIdCookieRFC2109& cookie, bool& accept)>;

  // onCreate runs at the end of construction (an event set later cannot).
  explicit TIdCookieManager(TIdBaseComponent* owner = nullptr, TOnManagerEvent onCreate = {});
  ~TIdCookieManager() override;

  TIdBaseComponent* Owner() const { return owner_; }
  TIdCookies& CookieCollection() { return cookies_; }

  // One Set-Cookie or Set-Cookie2 value of the answer to a request for
  // requestURI: its host, path and scheme decide. A value that cannot be
  // stored (a bad Set-Cookie2 port list, a control byte, a public suffix as
  // its domain, another host's domain) is dropped alone, without a report.
  void AcceptSetCookie(std::string_view text, const TIdURI& requestURI);
  void AcceptSetCookie2(std::string_view text, const TIdURI& requestURI);
  // As from a plain http request to host for "/".
  void AcceptSetCookie(std::string_view text, std::string_view host);
  void AcceptSetCookie2(std::string_view text, std::string_view host);
  void AdmitCookie(TIdCookieRFC2109* record, std::string_view text, const TIdCookieSource& source);
  // The Cookie header value for a request to uri; empty when none applies.
  // secureChannel: the request goes over https (Secure cookies go along).
  std::string BuildCookieHeader(const TIdURI& uri, bool secureChannel);
  void PurgeExpired();

  TOnManagerEvent OnCreate;
  TOnManagerEvent OnDestroy;
  TOnNewCookieEvent OnNewCookie;

 protected:
  virtual void NotifyCreate();
  virtual void NotifyDestroy();
  virtual bool ApproveCookie(TIdCookieRFC2109& record);

 private:
  TIdBaseComponent* owner_;
  TIdCookies cookies_;
};

}  // namespace vantro
