// Its own unit, so that a program can be linked with other hosts than the
// library was configured with.
#include "launcher/BuildHosts.h"

#ifndef VANTRO_UPDATE_HOST
#define VANTRO_UPDATE_HOST ""
#endif
#ifndef VANTRO_SITE_HOST
#define VANTRO_SITE_HOST ""
#endif

namespace vantro {

const char kBuiltUpdateHost[] = VANTRO_UPDATE_HOST;
const char kBuiltSiteHost[] = VANTRO_SITE_HOST;

}  // namespace vantro
