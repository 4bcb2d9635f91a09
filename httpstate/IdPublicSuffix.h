// The Public Suffix List, built into the library from Debian's publicsuffix
// package, so every build decides cookie domains alike.
#pragma once

#include <cstddef>
#include <string_view>

namespace vantro {

// How many labels of host make its public suffix: the list's rules with the
// default rule "*" (an unlisted top-level name is a suffix of its own), an
// exception rule ("!www.ck") prevailing. 0 for an empty host. Letter case is
// ignored; the host is written without a trailing dot.
std::size_t PublicSuffixLabels(std::string_view host);

// True when domain as a whole is a public suffix ("com", "co.uk", "github.io").
bool IsPublicSuffix(std::string_view domain);

// The packed list the generator writes (make_public_suffix_table.py),
// unpacked on the first lookup.
extern const unsigned char kPublicSuffixTable[];
extern const std::size_t kPublicSuffixTableSize;

}  // namespace vantro
