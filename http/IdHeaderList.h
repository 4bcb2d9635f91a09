// The header lines of one HTTP message: a string list with name/value access.
// A line is name + Separator + value; a line that begins with a space or a tab
// continues the value of the line above it. Long values are folded when
// written and joined again when read.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "rtl/StringList.h"

namespace vantro {

class TIdHeaderList : public TStringList {
 public:
  std::string Separator = ": ";
  bool MatchCase = false;
  bool UnfoldOnRead = true;
  bool FoldOnWrite = true;
  int FoldWidth = 78;

  int IndexOfHeader(std::string_view name) const;
  std::string NameAt(int index) const;
  std::string ValueAt(int index) const;
  std::string ValueOf(std::string_view name) const { return ValueAt(IndexOfHeader(name)); }
  void SetValueOf(std::string_view name, std::string_view value);
  void CollectValues(std::string_view name, TStringList* dest) const;

  void DropContinuationLines(int index);
  void FoldAndPut(std::string_view line, int index);
  std::unique_ptr<TStringList> FoldToLines(std::string_view line) const;

 private:
  // Length of the name part of the line at index (the bytes before the first
  // right-trimmed separator), or 0 when it has none.
  std::size_t NameLength(int index) const;
};

// Breaks text after a break character at or before width, never inside
// double quotes, inserting breakText; a break text already present is kept.
std::string WrapHeaderText(std::string_view text, std::string_view breakText,
                           std::string_view breakChars, int width);

}  // namespace vantro
