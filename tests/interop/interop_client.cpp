// The client side of the interop suite (tests/interop/run.sh): makes the
// requests its command line names on one client, the way the launcher makes
// them, and prints one line per call for the script to check:
//   req <n> <method> <code> <outcome> <bytes> <ms> | <status line or message>
// <outcome> is "ok" or the class of the exception raised; a body that differs
// from --expect counts as "BodyDiffers". The totals come last. With --sent,
// every byte sent goes to that file, so a check can read what went out.
#include <cxxabi.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <thread>
#include <typeinfo>

#include "http/IdDateTime.h"
#include "http/IdHTTP.h"
#include "tests/interop/interop_options.h"

namespace vantro::interop {
namespace {

// Unqualified, as the suite's expectations name the classes.
std::string ClassOf(const std::exception& e) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> name(
      abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status), &std::free);
  std::string text = status == 0 ? name.get() : typeid(e).name();
  const auto colon = text.rfind("::");
  return colon == std::string::npos ? text : text.substr(colon + 2);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Outcome {
  std::string kind = "ok";
  int code = -1;
  std::string text;
};

class Driver {
 public:
  explicit Driver(const Options& options) : options_(options) {
    // Without one of these no handler is attached, as the launcher attaches
    // none; the TLS handler is in pass-through for plain http URLs.
    const bool attach = options.tls || !options.caFile.empty() || options.noVerify ||
                        options.tunnel || options.socksVersion != 0;
    handler_.CAFile = options.caFile;
    handler_.VerifyPeer = !options.noVerify;
    if (options.socksVersion != 0) {
      TIdSocksInfo& socks = handler_.SocksInfo();
      socks.Version = options.socksVersion == 4 ? svSocks4 : svSocks5;
      socks.Host = options.socksHost;
      socks.Port = options.socksPort;
      socks.Username = options.socksUser;
      socks.Password = options.socksPassword;
      if (!options.socksPassword.empty()) socks.Authentication = saUsernamePassword;
    }
    if (attach) http_.SetIOHandler(&handler_);
    http_.MaxLineAction = maException;
    http_.ReadTimeout = options.readTimeoutMs;
    http_.ProtocolVersion = options.version == "1.0" ? pv1_0 : pv1_1;
    http_.HandleRedirects = options.redirects > 0;
    http_.RedirectMaximum = options.redirects;
    TIdHTTPRequest& request = http_.Request();
    request.Accept = "text/html, */*";
    request.UserAgent = "Mozilla/3.0 (compatible; Vantro)";
    if (!options.user.empty()) {
      request.Username = options.user;
      request.Password = options.password;
      request.BasicAuthentication = true;
    }
    if (!options.proxyHost.empty()) {
      http_.ProxyParams.SetProxyServer(options.proxyHost);
      http_.ProxyParams.SetProxyPort(options.proxyPort);
      http_.ProxyParams.ProxyUsername = options.proxyUser;
      http_.ProxyParams.ProxyPassword = options.proxyPassword;
      http_.ProxyParams.BasicAuthentication = !options.proxyUser.empty();
    }
    if (!options.expectFile.empty()) expected_ = ReadFile(options.expectFile);
    if (!options.sentFile.empty()) {
      sent_.open(options.sentFile, std::ios::binary);
      tap_.OnSend = [this](TIdConnectionIntercept&, TStream& bytes) {
        std::string block(static_cast<std::size_t>(bytes.Size()), '\0');
        bytes.ReadBuffer(block.data(), bytes.Size());
        sent_ << block << std::flush;
      };
      http_.SetIntercept(&tap_);
    }
  }

  // Runs every call; returns how many failed.
  int Run() {
    int failed = 0, n = 0;
    for (int round = 0; round < options_.count; ++round) {
      for (const Call& call : options_.calls) {
        if (n > 0 && options_.pauseMs > 0)
          std::this_thread::sleep_for(std::chrono::milliseconds(options_.pauseMs));
        const auto started = std::chrono::steady_clock::now();
        const Outcome outcome = Perform(call);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
        ++n;
        if (outcome.kind != "ok") {
          ++failed;
          ++failures_[outcome.kind];
        }
        if (!options_.quiet || outcome.kind != "ok") {
          std::cout << "req " << n << ' ' << call.method << ' ' << outcome.code << ' '
                    << outcome.kind << ' ' << body_.Size() << ' ' << ms << " | " << outcome.text
                    << '\n';
        }
      }
    }
    if (!options_.outFile.empty()) {
      std::ofstream(options_.outFile, std::ios::binary) << body_.Bytes();
    }
    std::cout << "total: " << n - failed << " ok, " << failed << " failed\n";
    for (const auto& [kind, times] : failures_)
      std::cout << "failures: " << kind << '=' << times << '\n';
    return failed;
  }

 private:
  // Each call starts from the same request fields, as the launcher's do.
  void PrepareRequest(const CallSettings& settings) {
    TIdHTTPRequest& request = http_.Request();
    request.LastModified =
        settings.ifModifiedSince.empty() ? 0 : InternetDateToLocal(settings.ifModifiedSince);
    request.ContentRangeStart = settings.rangeFirst;
    request.ContentRangeEnd = settings.rangeLast;
    request.CustomHeaders().Clear();
    if (!settings.ifNoneMatch.empty())
      request.CustomHeaders().Add("If-None-Match: " + settings.ifNoneMatch);
  }

  Outcome Perform(const Call& call) {
    Outcome outcome;
    body_.Clear();
    PrepareRequest(call.settings);
    TStringStream source(call.settings.data);
    try {
      const TIdHTTPMethod verb = call.method == "HEAD"   ? hmHead
                                 : call.method == "POST" ? hmPost
                                                         : hmGet;
      http_.ExecuteRequest(verb, call.url, verb == hmPost ? &source : nullptr, &body_);
      outcome.code = http_.ResponseCode();
      outcome.text = http_.ResponseText();
      if (!options_.expectFile.empty() && body_.Bytes() != expected_) outcome.kind = "BodyDiffers";
    } catch (const EIdProtocolReplyError& e) {
      outcome = {ClassOf(e), e.ReplyCode(), e.Message()};
    } catch (const std::exception& e) {
      outcome = {ClassOf(e), -1, e.what()};
    }
    return outcome;
  }

  const Options& options_;
  // Declared before the client, which refers to them until it is destroyed.
  TIdSSLIOHandlerSocket handler_;
  TIdConnectionIntercept tap_;
  std::ofstream sent_;
  TIdHTTP http_;
  TMemoryStream body_;
  std::string expected_;
  std::map<std::string, int> failures_;
};

}  // namespace
}  // namespace vantro::interop

int main(int argc, char** argv) {
  using namespace vantro::interop;
  Options options;
  if (const auto problem = ParseOptions(argc, argv, options)) {
    std::cerr << *problem << '\n' << kUsage;
    return 2;
  }
  Driver driver(options);
  return driver.Run() == 0 ? 0 : 1;
}
