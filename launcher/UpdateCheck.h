// The start-up update check: the launcher's own file version against the
// version text the maker's update server publishes.
#pragma once

#include <string>

#include "http/IdHTTP.h"
#include "launcher/Application.h"
#include "launcher/Platform.h"
#include "tls/IdSSLIOHandlerSocket.h"

namespace vantro {

// "a.b.c.d" from the program file's fixed file version; empty when it has
// no version resource (or its fixed block cannot be read).
std::string GetFileVersionText(Platform& platform, const std::string& fileName);

// IdHTTP1 as the main window's design data sets it up, with bounded connect
// and read time-outs so that a server that never answers cannot freeze the
// start-up.
void ConfigureUpdateClient(TIdHTTP& http);

// Where the launcher goes on the maker's servers; an empty address means the
// build names no such server. A host is "host", "host:port" or either after
// "http://" or "https://"; without a scheme it is http.
struct UpdateAddresses {
  std::string versionUrl;     // update host's scheme and host + "/kivra/Version.txt"
  std::string downloadUrl;    // site host's scheme and host + "/ob"
  std::string clientPageUrl;  // site host's scheme and host + "/client/"
};
UpdateAddresses UpdateAddressesFor(const std::string& updateHost, const std::string& siteHost);
// The addresses of the hosts the launcher was built with.
UpdateAddresses BuiltInUpdateAddresses();
// Where the set-up goes: the built-in addresses unless a test points it at
// its own server.
extern UpdateAddresses UpdateTarget;

// An https version text is fetched through tls, checked against the
// system's roots; an http one through the client's own socket handler.
void UseTLSForHttps(TIdHTTP& http, TIdSSLIOHandlerSocket& tls, const UpdateAddresses& addresses);

// Fetches the version text; when the own version is not named in it, says so
// and opens the download page (when there is one). A failing GET raises.
// Without an update server nothing is asked and nothing is said.
void CheckForUpdate(Platform& platform, TApplication& application, WindowHandle owner,
                    TIdHTTP& http, const UpdateAddresses& addresses);

}  // namespace vantro
