#include "httpstate/IdPublicSuffix.h"

#include <algorithm>
#include <cstdint>

namespace vantro {

namespace {

// Node flags as make_public_suffix_graph.py writes them.
constexpr unsigned kRule = 1, kWildcard = 2, kException = 4, kLastFollows = 8;
constexpr unsigned kFlagBits = 4;
constexpr unsigned char kLabelEnd = 0x80;

class GraphReader {
 public:
  explicit GraphReader(std::size_t at) : at_(at) {}
  std::size_t At() const { return at_; }
  bool Inside() const { return at_ < kPublicSuffixGraphSize; }
  unsigned char Byte() { return kPublicSuffixGraph[at_++]; }
  std::uint32_t Varint() {
    std::uint32_t value = 0;
    for (unsigned shift = 0; Inside() && shift < 32; shift += 7) {
      const unsigned char byte = Byte();
      value |= static_cast<std::uint32_t>(byte & 0x7f) << shift;
      if ((byte & 0x80) == 0) break;
    }
    return value;
  }

 private:
  std::size_t at_;
};

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::size_t PublicSuffixLabels(std::string_view host) {
  if (host.empty()) return 0;
  const std::size_t labels =
      static_cast<std::size_t>(std::count(host.begin(), host.end(), '.')) + 1;
  std::size_t suffix = 1;  // the default rule "*"
  std::size_t node = 0;
  std::size_t left = host.size();  // rules are written backwards: walk from the end
  for (;;) {
    GraphReader reader(node);
    const std::uint32_t header = reader.Varint();
    const unsigned flags = header & ((1u << kFlagBits) - 1);
    const std::uint32_t edges = header >> kFlagBits;
    if (left == 0 || host[left - 1] == '.') {
      const std::size_t done =
          static_cast<std::size_t>(
              std::count(host.begin() + static_cast<std::ptrdiff_t>(left), host.end(), '.')) +
          1;
      if (node != 0) {
        if (flags & kException) return done - 1;
        if (flags & kRule) suffix = std::max(suffix, done);
        if ((flags & kWildcard) && done < labels) suffix = std::max(suffix, done + 1);
      }
    }
    if (left == 0) return suffix;
    // The edge whose label matches the host's next characters (backwards);
    // first characters differ between the edges of one node.
    const char next = LowerAscii(host[left - 1]);
    std::size_t matched = 0, target = 0;
    bool found = false, followsLast = false;
    for (std::uint32_t e = 0; e < edges && reader.Inside(); ++e) {
      const std::size_t label = reader.At();
      while (reader.Inside() && (reader.Byte() & kLabelEnd) == 0) {
      }
      const bool last = e + 1 == edges;
      const std::size_t offset = (last && (flags & kLastFollows)) ? 0 : reader.Varint();
      if (found || static_cast<char>(kPublicSuffixGraph[label] & ~kLabelEnd) != next) continue;
      found = true;
      followsLast = last && (flags & kLastFollows);
      target = offset;
      for (std::size_t at = label;; ++at) {
        const unsigned char byte = kPublicSuffixGraph[at];
        if (matched == left || LowerAscii(host[left - 1 - matched]) != (byte & ~kLabelEnd)) {
          return suffix;  // the host leaves the graph inside this label
        }
        ++matched;
        if (byte & kLabelEnd) break;
      }
    }
    if (!found) return suffix;
    node = followsLast ? reader.At() : target;
    left -= matched;
  }
}

bool IsPublicSuffix(std::string_view domain) {
  if (domain.empty()) return false;
  const auto labels = static_cast<std::size_t>(std::count(domain.begin(), domain.end(), '.')) + 1;
  return PublicSuffixLabels(domain) == labels;
}

}  // namespace vantro
