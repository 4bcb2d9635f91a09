// Ordered list of (text, object) entries. Objects are not owned. Lookups by
// text ignore letter case and return the first match. A sorted list keeps its
// entries in key order; one that accepts equal keys puts a new entry before
// those with an equal key.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/AnsiText.h"
#include "rtl/Exception.h"

namespace vantro {

template <class TObject>
class TObjectStringList {
 public:
  enum class TDuplicates { dupAccept, dupIgnore, dupError };

  virtual ~TObjectStringList() = default;

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  const std::string& Strings(int index) const { return At(index).Text; }
  const std::string& operator[](int index) const { return Strings(index); }
  TObject* Objects(int index) const { return At(index).Object; }
  void Put(int index, std::string text) { At(index).Text = std::move(text); }
  void PutObject(int index, TObject* object) { At(index).Object = object; }

  int Add(std::string text) { return AddObject(std::move(text), nullptr); }
  int AddObject(std::string text, TObject* object) {
    if (!sorted_) {
      items_.push_back({std::move(text), object});
      return Count() - 1;
    }
    const int at = LowerBound(text);
    if (at < Count() && CompareText(items_[at].Text, text) == 0) {
      if (duplicates_ == TDuplicates::dupIgnore) return at;
      if (duplicates_ == TDuplicates::dupError)
        throw EListError("String list does not allow duplicates");
    }
    items_.insert(items_.begin() + at, {std::move(text), object});
    return at;
  }
  void Insert(int index, std::string text) { InsertObject(index, std::move(text), nullptr); }
  void InsertObject(int index, std::string text, TObject* object) {
    if (index < 0 || index > Count())
      throw EListError("List index out of bounds (" + IntToStr(index) + ")");
    items_.insert(items_.begin() + index, {std::move(text), object});
  }
  void Delete(int index) {
    At(index);
    items_.erase(items_.begin() + index);
  }
  void Clear() { items_.clear(); }

  int IndexOf(std::string_view text) const {
    if (sorted_) {
      const int at = LowerBound(text);
      return at < Count() && CompareText(items_[at].Text, text) == 0 ? at : -1;
    }
    for (int i = 0; i < Count(); ++i)
      if (SameText(items_[i].Text, text)) return i;
    return -1;
  }
  int IndexOfObject(const TObject* object) const {
    for (int i = 0; i < Count(); ++i)
      if (items_[i].Object == object) return i;
    return -1;
  }

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted) { sorted_ = sorted; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }

  // All lines, each followed by CR LF.
  std::string Text() const {
    std::string text;
    for (const auto& item : items_)
      text.append(item.Text).append("\r\n");
    return text;
  }
  // Replaces the lines with those of text, split at CR LF, LF or CR.
  void SetText(std::string_view text) {
    Clear();
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find_first_of("\r\n", start);
      if (end == std::string_view::npos) end = text.size();
      Add(std::string(text.substr(start, end - start)));
      if (end < text.size() && text[end] == '\r') ++end;
      if (end < text.size() && text[end] == '\n') ++end;
      start = end;
    }
  }
  void AddStrings(const TObjectStringList& other) {
    for (const auto& item : other.items_)
      AddObject(item.Text, item.Object);
  }

 private:
  struct Entry {
    std::string Text;
    TObject* Object;
  };

  Entry& At(int index) {
    if (index < 0 || index >= Count())
      throw EListError("List index out of bounds (" + IntToStr(index) + ")");
    return items_[static_cast<std::size_t>(index)];
  }
  const Entry& At(int index) const { return const_cast<TObjectStringList*>(this)->At(index); }
  // The first index whose key is not below text.
  int LowerBound(std::string_view text) const {
    int low = 0, high = Count();
    while (low < high) {
      const int mid = low + (high - low) / 2;
      if (CompareText(items_[mid].Text, text) < 0)
        low = mid + 1;
      else
        high = mid;
    }
    return low;
  }

  std::vector<Entry> items_;
  bool sorted_ = false;
  TDuplicates duplicates_ = TDuplicates::dupIgnore;
};

using TStringList = TObjectStringList<void>;

}  // namespace vantro
