#include "httpstate/IdPublicSuffix.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vantro {

namespace {

// As make_public_suffix_table.py writes them.
constexpr unsigned kRule = 1, kWildcard = 2, kException = 4;
constexpr int kShared = 0x80, kEnd = 0xC0;
constexpr int kLongestCode = 31;

class TableReader {
 public:
  unsigned Byte() { return at_ < kPublicSuffixTableSize ? kPublicSuffixTable[at_++] : 0; }
  std::uint32_t Number(int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
      value |= Byte() << (8 * i);
    return value;
  }
  // The next code bit, -1 past the end.
  int Bit() {
    if (at_ >= kPublicSuffixTableSize) return -1;
    const int bit = (kPublicSuffixTable[at_] >> (7 - bit_)) & 1;
    if (++bit_ == 8) {
      bit_ = 0;
      ++at_;
    }
    return bit;
  }

 private:
  std::size_t at_ = 0;
  int bit_ = 0;
};

// The canonical Huffman code of the symbols that follow one symbol.
struct SymbolCode {
  std::array<int, kLongestCode + 1> Counts{};  // codes of each length
  std::vector<unsigned char> Symbols;          // by length, then value

  int Decode(TableReader& reader) const {
    int first = 0, index = 0, value = 0;
    for (int length = 1; length <= kLongestCode; ++length) {
      const int bit = reader.Bit();
      if (bit < 0) return -1;
      value |= bit;
      if (value - first < Counts[length]) return Symbols[index + value - first];
      index += Counts[length];
      first = (first + Counts[length]) << 1;
      value <<= 1;
    }
    return -1;
  }
};

// The rules written backwards, sorted, each with its kinds.
class SuffixList {
 public:
  SuffixList() {
    TableReader reader;
    std::vector<SymbolCode> codes(256);
    for (std::uint32_t contexts = reader.Number(2); contexts > 0; --contexts) {
      SymbolCode& code = codes[reader.Byte()];
      std::vector<std::pair<unsigned, unsigned char>> byLength(reader.Byte());
      for (auto& [length, symbol] : byLength) {
        symbol = static_cast<unsigned char>(reader.Byte());
        length = std::min<unsigned>(reader.Byte(), kLongestCode);
      }
      std::sort(byLength.begin(), byLength.end());
      for (const auto& [length, symbol] : byLength) {
        ++code.Counts[length];
        code.Symbols.push_back(symbol);
      }
    }
    const std::uint32_t count = reader.Number(4);
    words_.reserve(count);
    std::string word, previous;
    for (int context = kEnd; words_.size() < count;) {
      const int symbol = codes[static_cast<std::size_t>(context)].Decode(reader);
      if (symbol < 0) break;  // a cut table: the rules read so far stand
      if (symbol >= kEnd) {
        words_.push_back({static_cast<std::uint32_t>(text_.size()),
                          static_cast<std::uint32_t>(word.size()),
                          static_cast<unsigned>(symbol - kEnd)});
        text_ += word;
        previous = word;
      } else if (symbol >= kShared) {
        word.assign(previous, 0, static_cast<std::size_t>(symbol - kShared));
      } else {
        word += static_cast<char>(symbol);
      }
      context = symbol;
    }
  }

  // The kinds of the backwards name, 0 when it is no rule.
  unsigned KindsOf(std::string_view backwards) const {
    auto found =
        std::lower_bound(words_.begin(), words_.end(), backwards,
                         [this](const Word& w, std::string_view key) { return Text(w) < key; });
    return found != words_.end() && Text(*found) == backwards ? found->Kinds : 0;
  }

 private:
  struct Word {
    std::uint32_t Offset, Length;
    unsigned Kinds;
  };
  std::string_view Text(const Word& w) const {
    return std::string_view(text_).substr(w.Offset, w.Length);
  }

  std::string text_;
  std::vector<Word> words_;
};

const SuffixList& TheSuffixList() {
  static const SuffixList list;
  return list;
}

}  // namespace

std::size_t PublicSuffixLabels(std::string_view host) {
  if (host.empty()) return 0;
  std::string backwards(host.rbegin(), host.rend());
  for (char& c : backwards)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  const auto labels = static_cast<std::size_t>(std::count(host.begin(), host.end(), '.')) + 1;
  const SuffixList& list = TheSuffixList();
  std::size_t suffix = 1;  // the default rule "*"
  std::size_t end = 0;
  for (std::size_t done = 1; done <= labels; ++done) {
    end = done == labels ? backwards.size() : backwards.find('.', end + (done > 1 ? 1 : 0));
    const unsigned kinds = list.KindsOf(std::string_view(backwards).substr(0, end));
    if (kinds & kException) return done - 1;  // an exception prevails
    if (kinds & kRule) suffix = std::max(suffix, done);
    if ((kinds & kWildcard) && done < labels) suffix = std::max(suffix, done + 1);
  }
  return suffix;
}

bool IsPublicSuffix(std::string_view domain) {
  if (domain.empty()) return false;
  const auto labels = static_cast<std::size_t>(std::count(domain.begin(), domain.end(), '.')) + 1;
  return PublicSuffixLabels(domain) == labels;
}

}  // namespace vantro
