// The hosts the launcher talks to, set when it is built ("host" or
// "host:port"); empty means none.
#pragma once

namespace vantro {

extern const char kBuiltUpdateHost[];
extern const char kBuiltSiteHost[];

}  // namespace vantro
