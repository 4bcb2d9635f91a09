// The hosts the launcher talks to, set when it is built ("host" or
// "host:port", with "https://" in front for TLS); empty means none.
#pragma once

namespace vantro {

extern const char kBuiltUpdateHost[];
extern const char kBuiltSiteHost[];

}  // namespace vantro
