#include "http/IdHeaderList.h"

#include <algorithm>

#include "http/IdGlobal.h"
#include "rtl/AnsiText.h"

namespace vantro {
namespace {

bool IsContinuation(const std::string& line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// Trimming in place: a lookup or a write builds no text it does not keep.
std::string_view TrimmedRight(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
    text.remove_suffix(1);
  return text;
}

// The bytes before the first nameEnd (the right-trimmed separator); none
// when the line has no such mark.
std::string_view NamePart(std::string_view line, std::string_view nameEnd) {
  const int p = TextPos(nameEnd, line);
  return line.substr(0, p > 0 ? static_cast<std::size_t>(p - 1) : 0);
}

bool HasName(std::string_view line, std::string_view nameEnd, std::string_view name) {
  // A line of that name has its first name end right after it: most lines
  // are told apart by that alone.
  if (!nameEnd.empty() && !name.empty() &&
      (line.size() < name.size() || line.compare(name.size(), nameEnd.size(), nameEnd) != 0)) {
    return false;
  }
  return SameText(NamePart(line, nameEnd), name);
}

}  // namespace

std::size_t TIdHeaderList::NameLength(int index) const {
  return NamePart(Strings(index), TrimmedRight(Separator)).size();
}

std::string TIdHeaderList::NameAt(int index) const {
  const std::string name = Strings(index).substr(0, NameLength(index));
  return MatchCase ? name : UpperCase(name);
}

int TIdHeaderList::IndexOfHeader(std::string_view name) const {
  const std::string_view nameEnd = TrimmedRight(Separator);
  for (int i = 0; i < Count(); ++i) {
    if (HasName(Strings(i), nameEnd, name)) return i;
  }
  return -1;
}

std::string TIdHeaderList::ValueAt(int index) const {
  if (index < 0 || index >= Count()) return {};
  const std::string& line = Strings(index);
  const std::size_t skip = NameLength(index) + 1;
  const std::string_view rest =
      skip < line.size() ? std::string_view(line).substr(skip) : std::string_view();
  std::string value = Trim(rest);
  bool joined = false;
  while (UnfoldOnRead && index + 1 < Count() && IsContinuation(Strings(index + 1))) {
    ++index;
    value = Trim(value) + " " + Trim(Strings(index));
    joined = true;
  }
  return joined ? Trim(value) : value;
}

void TIdHeaderList::SetValueOf(std::string_view name, std::string_view value) {
  int index = IndexOfHeader(name);
  if (!value.empty()) {
    if (index == -1) index = Add("");
    std::string line;
    line.reserve(name.size() + Separator.size() + value.size());
    line.append(name).append(Separator).append(value);
    if (FoldOnWrite) {
      DropContinuationLines(index);
      // Shorter than the width and without a break of its own, a line is
      // written as it stands, less its trailing blanks: the fold's own result.
      if (static_cast<std::ptrdiff_t>(line.size()) < FoldWidth &&
          line.find('\r') == std::string::npos) {
        line.resize(TrimmedRight(line).size());
        Put(index, std::move(line));
      } else {
        FoldAndPut(line, index);
      }
    } else {
      Put(index, std::move(line));
    }
  } else if (index >= 0) {
    if (FoldOnWrite) DropContinuationLines(index);
    Delete(index);
  }
}

void TIdHeaderList::CollectValues(std::string_view name, TStringList* dest) const {
  if (dest == nullptr) return;
  const std::string_view nameEnd = TrimmedRight(Separator);
  for (int i = 0; i < Count(); ++i) {
    if (HasName(Strings(i), nameEnd, name)) {
      dest->Add(ValueAt(i));
    }
  }
}

void TIdHeaderList::DropContinuationLines(int index) {
  while (index + 1 < Count() && IsContinuation(Strings(index + 1)))
    Delete(index + 1);
}

void TIdHeaderList::FoldAndPut(std::string_view line, int index) {
  const auto pieces = FoldToLines(line);
  const int last = pieces->Count() - 1;
  Put(index, pieces->Strings(last));
  for (int i = last - 1; i >= 0; --i)
    Insert(index, pieces->Strings(i));
}

std::unique_ptr<TStringList> TIdHeaderList::FoldToLines(std::string_view line) const {
  const std::string text = WrapHeaderText(line, "\r\n ", "\t ,", FoldWidth);
  auto pieces = std::make_unique<TStringList>();
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find("\r\n", start);
    // A piece that trims to nothing would be an empty line, which ends a
    // header block: leave it out.
    std::string piece = TrimRight(std::string_view(text).substr(start, end - start));
    if (pieces->Empty() || !piece.empty()) pieces->Add(std::move(piece));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  // A break right after the separator would leave the name alone on its
  // line; such a line stays joined up to its next break.
  const std::string separator = TrimRight(Separator);
  if (pieces->Count() > 1 && !separator.empty() && pieces->Strings(0).ends_with(separator) &&
      TextPos(separator, pieces->Strings(0)) ==
          static_cast<int>(pieces->Strings(0).size() - separator.size() + 1)) {
    pieces->Put(0, pieces->Strings(0) + pieces->Strings(1));
    pieces->Delete(1);
  }
  return pieces;
}

std::string WrapHeaderText(std::string_view text, std::string_view breakText,
                           std::string_view breakChars, int width) {
  // Positions are 1-based as in the folding rules: text[p - 1] is character p.
  const auto length = static_cast<std::ptrdiff_t>(text.size());
  const auto at = [&](std::ptrdiff_t p) { return text[static_cast<std::size_t>(p - 1)]; };
  const auto piece = [&](std::ptrdiff_t from, std::ptrdiff_t to) {
    from = std::max<std::ptrdiff_t>(from, 1);
    to = std::min(to, length);
    return to < from ? std::string_view()
                     : text.substr(static_cast<std::size_t>(from - 1),
                                   static_cast<std::size_t>(to - from + 1));
  };
  std::string result;
  std::ptrdiff_t p = 1, k = 1, l = 1, b = 0;
  bool inQuote = false, existingBreak = false;
  while (p <= length) {
    const char x = at(p);
    if (IsLeadByte(static_cast<unsigned char>(x))) {
      ++p;
      ++k;
    } else if (!breakText.empty() && x == breakText[0]) {
      if (!inQuote) {
        existingBreak =
            SameText(piece(p, p + static_cast<std::ptrdiff_t>(breakText.size()) - 1), breakText);
        if (existingBreak) {
          p += static_cast<std::ptrdiff_t>(breakText.size()) - 1;
          b = p;
        }
      }
    } else if (breakChars.find(x) != std::string_view::npos) {
      if (!inQuote) b = p;
    } else if (x == '"') {
      inQuote = !inQuote;
    }
    ++p;
    ++k;
    if (!inQuote && (existingBreak || (k > width && b > l))) {
      k = p - b;
      result += piece(l, b);
      if (x != '"') {
        while (p <= length && std::string_view("\t ,\r\n").find(at(p)) != std::string_view::npos)
          ++p;
      }
      if (!existingBreak && p < length) result += breakText;
      l = b + 1;
      existingBreak = false;
    }
  }
  result += piece(l, length);
  return result;
}

}  // namespace vantro
