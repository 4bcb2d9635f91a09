// The command line of the interop driver: which requests to make, over which
// route, with which credentials, and where the bodies go.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantro::interop {

// What one request asks beyond its URL. An option for these applies to the
// requests named after it on the command line (an empty value ends it).
struct CallSettings {
  std::string ifModifiedSince, ifNoneMatch, data;
  unsigned rangeFirst = 0, rangeLast = 0;
};

struct Call {
  std::string method;  // GET, HEAD or POST
  std::string url;
  CallSettings settings;
};

struct Options {
  std::vector<Call> calls;
  int count = 1;  // the whole list, run this many times on one client
  std::string version = "1.1";
  int redirects = 0;  // 0: redirects are not followed
  std::string user, password;
  std::string proxyHost, proxyUser, proxyPassword;
  int proxyPort = 0;
  bool tunnel = false;  // https URLs go through the proxy's CONNECT
  // The TLS handler is attached with --tls, --ca-file, --tunnel or --socks.
  bool tls = false;
  std::string caFile;  // roots trusted besides the system's
  bool noVerify = false;
  int socksVersion = 0;  // 0, 4 or 5
  std::string socksHost, socksUser, socksPassword;
  int socksPort = 0;
  CallSettings next;  // for the requests still to be named
  std::string outFile, expectFile;
  std::string sentFile;  // every byte the client sends, as sent
  int pauseMs = 0;       // between two calls
  int readTimeoutMs = 5000;
  bool quiet = false;  // print failed calls only (and the totals)
};

// Fills options from argv; returns the reason when the line is not understood.
std::optional<std::string> ParseOptions(int argc, char** argv, Options& options);

extern const char* const kUsage;

}  // namespace vantro::interop
