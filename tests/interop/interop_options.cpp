#include "tests/interop/interop_options.h"

#include <charconv>
#include <functional>
#include <map>

namespace vantro::interop {
namespace {

bool ToInt(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  auto [last, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && last == end;
}

// "host:port" as the proxy and SOCKS options take it.
bool HostPort(const std::string& text, std::string& host, int& port) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  host = text.substr(0, colon);
  return ToInt(text.substr(colon + 1), port);
}

bool Range(const std::string& text, unsigned& first, unsigned& last) {
  first = last = 0;
  if (text.empty()) return true;
  const auto dash = text.find('-');
  int a = 0, b = 0;
  if (dash == std::string::npos || !ToInt(text.substr(0, dash), a) ||
      !ToInt(text.substr(dash + 1), b) || a < 0 || b < a)
    return false;
  first = static_cast<unsigned>(a);
  last = static_cast<unsigned>(b);
  return true;
}

using Setter = std::function<bool(Options&, const std::string&)>;

Setter Text(std::string Options::*field) {
  return [field](Options& o, const std::string& v) {
    o.*field = v;
    return true;
  };
}

Setter NextText(std::string CallSettings::*field) {
  return [field](Options& o, const std::string& v) {
    o.next.*field = v;
    return true;
  };
}

Setter Number(int Options::*field) {
  return [field](Options& o, const std::string& v) { return ToInt(v, o.*field); };
}

Setter AddCall(const char* method) {
  return [method](Options& o, const std::string& v) {
    o.calls.push_back({method, v, o.next});
    return true;
  };
}

const std::map<std::string, Setter>& Setters() {
  static const std::map<std::string, Setter> setters = {
      {"--get", AddCall("GET")},
      {"--head", AddCall("HEAD")},
      {"--post", AddCall("POST")},
      {"--count", Number(&Options::count)},
      {"--http",
       [](Options& o, const std::string& v) {
         o.version = v;
         return v == "1.0" || v == "1.1";
       }},
      {"--redirects", Number(&Options::redirects)},
      {"--user", Text(&Options::user)},
      {"--password", Text(&Options::password)},
      {"--proxy",
       [](Options& o, const std::string& v) { return HostPort(v, o.proxyHost, o.proxyPort); }},
      {"--proxy-user", Text(&Options::proxyUser)},
      {"--proxy-password", Text(&Options::proxyPassword)},
      {"--socks",
       [](Options& o, const std::string& v) { return HostPort(v, o.socksHost, o.socksPort); }},
      {"--socks-version",
       [](Options& o, const std::string& v) {
         return ToInt(v, o.socksVersion) && (o.socksVersion == 4 || o.socksVersion == 5);
       }},
      {"--socks-user", Text(&Options::socksUser)},
      {"--socks-password", Text(&Options::socksPassword)},
      {"--if-modified-since", NextText(&CallSettings::ifModifiedSince)},
      {"--if-none-match", NextText(&CallSettings::ifNoneMatch)},
      {"--range",
       [](Options& o, const std::string& v) {
         return Range(v, o.next.rangeFirst, o.next.rangeLast);
       }},
      {"--data", NextText(&CallSettings::data)},
      {"--ca-file", Text(&Options::caFile)},
      {"--out", Text(&Options::outFile)},
      {"--sent", Text(&Options::sentFile)},
      {"--expect", Text(&Options::expectFile)},
      {"--pause-ms", Number(&Options::pauseMs)},
      {"--read-timeout", Number(&Options::readTimeoutMs)},
  };
  return setters;
}

}  // namespace

const char* const kUsage =
    "usage: interop_client [request options] (--get|--head|--post URL)... [--count N]\n"
    "  [--http 1.0|1.1]\n"
    "  [--redirects N] [--user U --password P] [--proxy HOST:PORT [--proxy-user U\n"
    "  --proxy-password P]] [--tunnel] [--socks HOST:PORT --socks-version 4|5\n"
    "  [--socks-user U --socks-password P]] [--tls] [--ca-file PEM] [--no-verify]\n"
    "  [--out FILE] [--sent FILE] [--expect FILE] [--pause-ms N] [--read-timeout MS]\n"
    "  [--quiet]\n"
    "request options, for the requests named after them (empty: none):\n"
    "  --if-modified-since DATE  --if-none-match TAG  --range FIRST-LAST  --data TEXT\n";

std::optional<std::string> ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    static const std::map<std::string, bool Options::*> flags = {
        {"--tunnel", &Options::tunnel},
        {"--quiet", &Options::quiet},
        {"--tls", &Options::tls},
        {"--no-verify", &Options::noVerify}};
    if (const auto flag = flags.find(name); flag != flags.end()) {
      options.*(flag->second) = true;
      continue;
    }
    const auto setter = Setters().find(name);
    if (setter == Setters().end()) return "unknown option " + name;
    if (i + 1 >= argc) return name + " needs a value";
    if (!setter->second(options, argv[++i])) return "bad value for " + name + ": " + argv[i];
  }
  if (options.calls.empty()) return "no request given";
  if (options.count < 1) return "--count must be 1 or more";
  if (options.socksPort != 0 && options.socksVersion == 0) return "--socks needs --socks-version";
  return std::nullopt;
}

}  // namespace vantro::interop
