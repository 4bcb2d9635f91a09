#include "launcher/UpdateCheck.h"

#include "launcher/BuildHosts.h"
#include "launcher/LauncherTexts.h"
#include "launcher/StartupTrace.h"
#include "rtl/AnsiText.h"

namespace vantro {
namespace {

constexpr int kSwShowNormal = 1;
// Ten seconds for the connect and for every read of the answer.
constexpr int kUpdateTimeoutMs = 10000;

}  // namespace

std::string GetFileVersionText(Platform& platform, const std::string& fileName) {
  std::uint32_t ms = 0, ls = 0;
  if (!platform.FixedFileVersion(fileName, ms, ls)) return {};
  return IntToStr(ms >> 16) + "." + IntToStr(ms & 0xFFFF) + "." + IntToStr(ls >> 16) + "." +
         IntToStr(ls & 0xFFFF);
}

void ConfigureUpdateClient(TIdHTTP& http) {
  http.MaxLineAction = maException;
  http.ReadTimeout = kUpdateTimeoutMs;  // also the connect's time-out
  http.AllowCookies = true;
  http.ProxyParams.BasicAuthentication = false;
  http.ProxyParams.SetProxyPort(0);
  TIdHTTPRequest& request = http.Request();
  request.SetContentLength(-1);
  request.ContentRangeEnd = 0;
  request.ContentRangeStart = 0;
  request.ContentType = "text/html";
  request.Accept = "text/html, */*";
  request.BasicAuthentication = false;
  request.UserAgent = "Mozilla/3.0 (compatible; Vantro)";
  http.HTTPOptions = hoForceEncodeParams;
}

namespace {

// The host with its scheme in front: the one it names, else http.
std::string HostAddress(const std::string& host) {
  for (const std::string_view scheme : {"http://", "https://"}) {
    if (StartsText(scheme, host)) return std::string(scheme) + host.substr(scheme.size());
  }
  return "http://" + host;
}

}  // namespace

UpdateAddresses UpdateAddressesFor(const std::string& updateHost, const std::string& siteHost) {
  UpdateAddresses addresses;
  if (!updateHost.empty()) addresses.versionUrl = HostAddress(updateHost) + "/kivra/Version.txt";
  if (!siteHost.empty()) {
    addresses.downloadUrl = HostAddress(siteHost) + "/ob";
    addresses.clientPageUrl = HostAddress(siteHost) + "/client/";
  }
  return addresses;
}

void UseTLSForHttps(TIdHTTP& http, TIdSSLIOHandlerSocket& tls, const UpdateAddresses& addresses) {
  if (StartsText("https://", addresses.versionUrl)) http.SetIOHandler(&tls);
}

UpdateAddresses BuiltInUpdateAddresses() {
  return UpdateAddressesFor(kBuiltUpdateHost, kBuiltSiteHost);
}

UpdateAddresses UpdateTarget = BuiltInUpdateAddresses();

void CheckForUpdate(Platform& platform, TApplication& application, WindowHandle owner,
                    TIdHTTP& http, const UpdateAddresses& addresses) {
  if (addresses.versionUrl.empty()) return;
  const std::string own = GetFileVersionText(platform, platform.ModuleFileName());
  TraceStep("own-version");
  const std::string published = http.GetText(addresses.versionUrl);
  TraceStep("update-answer");
  if (!own.empty() && published.find(own) != std::string::npos) return;
  application.MessageBox(owner,
                         std::string(kNewVersionText) + "\r" + platform.AnsiToUtf8(published));
  if (addresses.downloadUrl.empty()) return;
  platform.StartShellExecute(owner, "open", addresses.downloadUrl, "", "", kSwShowNormal);
}

}  // namespace vantro
