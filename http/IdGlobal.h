// Text and host functions the HTTP client and the cookie code share.
// Positions are 1-based; 0 means not found.
#pragma once

#include <string>
#include <string_view>

namespace vantro {

// First occurrence of sub in text. In a double-byte code page the search steps
// over whole characters, so a match never starts on a trail byte.
int TextPos(std::string_view sub, std::string_view text);

// Last occurrence of sub, compared without regard to case, starting at or
// before start (-1: the end of text).
int LastPos(std::string_view sub, std::string_view text, int start = -1);

// Returns the text before the first delim (the whole input when there is
// none); with remove, input keeps only what follows the delimiter.
std::string CutToken(std::string& input, std::string_view delim = " ", bool remove = true,
                     bool matchCase = true);

// Every backslash becomes a slash; double-byte characters pass whole.
void ForwardSlashes(std::string& text);

// Resolves path against base: runs of delim collapse, ".." removes a segment,
// an absolute path comes back unchanged.
std::string MergePath(std::string_view base, std::string_view path, std::string_view delim = "/");

bool LooksLikeIPv4(std::string_view text);
bool LooksLikeHostName(std::string_view text);
// The text from the first "." on; the whole host when it has none.
std::string DomainPart(std::string_view host);

}  // namespace vantro
