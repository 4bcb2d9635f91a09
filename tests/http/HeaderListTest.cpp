#include "http/IdHeaderList.h"

#include <gtest/gtest.h>

#include "rtl/AnsiText.h"

namespace vantro {
namespace {

std::vector<std::string> Lines(const TIdHeaderList& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i)
    lines.push_back(list[i]);
  return lines;
}

TEST(HeaderList, FirstLineOfANameWinsWhateverItsCase) {
  TIdHeaderList h;
  h.SetText("Content-Type: text/html\r\ncontent-type: text/plain\r\nNoColon\r\n:bare");
  EXPECT_EQ(h.ValueOf("CONTENT-TYPE"), "text/html");
  EXPECT_EQ(h.IndexOfHeader("content-TYPE"), 0);
  EXPECT_EQ(h.NameAt(0), "CONTENT-TYPE");
  EXPECT_EQ(h.NameAt(2), "");
  EXPECT_EQ(h.ValueAt(2), "oColon");  // no name: the first character goes
  EXPECT_EQ(h.ValueOf(""), "oColon");
  EXPECT_EQ(h.ValueAt(-1), "");
  EXPECT_EQ(h.ValueAt(h.Count()), "");
  EXPECT_EQ(h.ValueOf("Missing"), "");
  h.MatchCase = true;
  EXPECT_EQ(h.NameAt(1), "content-type");
}

TEST(HeaderList, ContinuationLinesJoinWithSingleBlanks) {
  TIdHeaderList h;
  h.SetText("X-A: one  \r\n two\r\n\t  three \r\nX-B: b");
  EXPECT_EQ(h.ValueOf("X-A"), "one two three");
  EXPECT_EQ(h.ValueOf("x-b"), "b");
  h.UnfoldOnRead = false;
  EXPECT_EQ(h.ValueOf("X-A"), "one");
  // A continuation line only matches a name that begins with the blank.
  EXPECT_EQ(h.IndexOfHeader("two"), -1);
}

TEST(HeaderList, SetValueOfReplacesInPlaceAddsAndDeletes) {
  TIdHeaderList h;
  h.SetText("A: 1\r\nX-A: old\r\n more\r\n\tmore\r\nB: 2\r\nx-a: dup");
  h.SetValueOf("x-A", "new");
  EXPECT_EQ(Lines(h), (std::vector<std::string>{"A: 1", "x-A: new", "B: 2", "x-a: dup"}));
  h.SetValueOf("C", "3");
  EXPECT_EQ(h[4], "C: 3");
  h.SetValueOf("x-a", "");
  EXPECT_EQ(Lines(h), (std::vector<std::string>{"A: 1", "B: 2", "x-a: dup", "C: 3"}));
  h.SetValueOf("Absent", "");
  EXPECT_EQ(h.Count(), 4);

  h.SetText("X: v\r\n cont\r\nY: y");
  h.FoldOnWrite = false;
  h.SetValueOf("X", "w");  // without folding the old continuation stays
  EXPECT_EQ(Lines(h), (std::vector<std::string>{"X: w", " cont", "Y: y"}));
}

TEST(HeaderList, LongValuesFoldAtBlanksAndReadBack) {
  std::string words;
  while (words.size() < 100)
    words += "word" + std::to_string(words.size() % 10) + " ";
  words = TrimRight(words);
  TIdHeaderList h;
  h.SetValueOf("X-Long", words);
  ASSERT_GT(h.Count(), 1);
  EXPECT_LE(h[0].size(), 78u);
  const std::string full = "X-Long: " + words;
  EXPECT_EQ(full.substr(h[0].size(), 1), " ");  // the first line ends just before a blank
  for (int i = 1; i < h.Count(); ++i) {
    EXPECT_EQ(h[i][0], ' ');
    EXPECT_LE(h[i].size(), 79u);
  }
  EXPECT_EQ(h.ValueOf("x-long"), words);

  // Writing it again removes the old continuation lines first.
  h.SetValueOf("X-Long", "short");
  EXPECT_EQ(Lines(h), (std::vector<std::string>{"X-Long: short"}));
}

TEST(HeaderList, ValuesWithoutBreakCharactersOrInsideQuotesStayWhole) {
  TIdHeaderList h;
  const std::string solid(100, 'v');
  h.SetValueOf("X", solid);
  EXPECT_EQ(Lines(h), (std::vector<std::string>{"X: " + solid}));

  const std::string quoted = "\"" + std::string(50, 'a') + "," + std::string(50, 'b') + "\"";
  h.SetValueOf("Q", quoted);
  EXPECT_EQ(h[1], "Q: " + quoted);

  // The only early break is the separator's blank: the name keeps its value.
  const std::string first(90, 'a');
  h.SetValueOf("Z", first + " tail");
  EXPECT_EQ(h[2], "Z: " + first);
  EXPECT_EQ(h[3], " tail");
  EXPECT_EQ(h.ValueOf("Z"), first + " tail");
}

TEST(HeaderList, FoldingNeverWritesAnEmptyLine) {
  // A stretch of control characters between two breaks trims to nothing; as
  // an empty line it would end the header block.
  TIdHeaderList h;
  h.FoldWidth = 1;
  h.SetValueOf("X", std::string("a \x01\x02 b", 7));
  for (int i = 0; i < h.Count(); ++i)
    EXPECT_FALSE(h[i].empty()) << i;
  EXPECT_EQ(h.ValueOf("X"), "a b");
  h.SetValueOf("X", "");
  EXPECT_EQ(h.Count(), 0);
}

TEST(HeaderList, SetValueOfWritesWhatTheFoldWritesAroundTheWidth) {
  // Short lines skip the fold; they must come out as the fold would write them.
  const std::string parts[] = {"a", "b c", "\"q, r\"", "x,y", "  ", "\t", "\r\n z", "\xb0\xa1"};
  for (const unsigned codePage : {1252u, 936u}) {
    ScopedAnsiCodePage scoped(codePage);
    for (int width = 12; width <= 14; ++width) {
      std::string value = "v";
      for (int i = 0; i < 40; ++i) {
        value += parts[(i * 7 + width) % std::size(parts)];
        TIdHeaderList written;
        written.FoldWidth = width;
        written.SetValueOf("N", value);
        const auto folded = written.FoldToLines("N: " + value);
        ASSERT_EQ(written.Count(), folded->Count()) << value;
        for (int line = 0; line < written.Count(); ++line)
          EXPECT_EQ(written[line], folded->Strings(line)) << value;
      }
    }
  }
}

TEST(HeaderList, NamesMatchOnlyBeforeTheFirstSeparator) {
  TIdHeaderList h;
  h.SetText("A:B: one\r\nA: two\r\nAB: three\r\nA");
  EXPECT_EQ(h.IndexOfHeader("A:B"), -1);  // a name never holds the separator
  EXPECT_EQ(h.ValueOf("a"), "B: one");
  EXPECT_EQ(h.ValueOf("ab"), "three");
  EXPECT_EQ(h.IndexOfHeader("A "), -1);
  h.Separator = " = ";
  h.SetText("k = v\r\nk: w");
  EXPECT_EQ(h.ValueOf("K"), "= v");  // the name ends at the trimmed separator
  EXPECT_EQ(h.IndexOfHeader("k:"), -1);
}

TEST(HeaderList, CollectValuesGathersEveryLineOfAName) {
  TIdHeaderList h;
  h.SetText("Set-Cookie: a=1\r\nOther: x\r\nset-cookie: b=2\r\n more");
  TStringList values;
  h.CollectValues("SET-COOKIE", &values);
  ASSERT_EQ(values.Count(), 2);
  EXPECT_EQ(values[0], "a=1");
  EXPECT_EQ(values[1], "b=2 more");
  h.CollectValues("Set-Cookie", nullptr);
}

TEST(WrapHeaderText, BreaksAfterBreakCharactersAndKeepsExistingBreaks) {
  EXPECT_EQ(WrapHeaderText("aaa bbb ccc", "\r\n ", "\t ,", 5), "aaa \r\n bbb \r\n ccc");
  EXPECT_EQ(WrapHeaderText("aaa,bbb", "\r\n ", "\t ,", 3), "aaa,\r\n bbb");
  // A break text already in the text is not doubled.
  EXPECT_EQ(WrapHeaderText("aa\r\n bb", "\r\n ", "\t ,", 78), "aa\r\n bb");
  EXPECT_EQ(WrapHeaderText("", "\r\n ", "\t ,", 5), "");
  EXPECT_EQ(WrapHeaderText("abcdefgh", "\r\n ", "\t ,", 3), "abcdefgh");
}

TEST(WrapHeaderText, DoubleByteCharactersAreNeverSplit) {
  ScopedAnsiCodePage cp(936);
  // "\xb0\x20" is one character in 936 whose trail byte is a blank.
  const std::string text = "aa\xb0\x20\xb0\x20\xb0\x20 bb";
  const std::string wrapped = WrapHeaderText(text, "\r\n ", "\t ,", 4);
  EXPECT_EQ(wrapped, "aa\xb0\x20\xb0\x20\xb0\x20 \r\n bb");
}

}  // namespace
}  // namespace vantro
