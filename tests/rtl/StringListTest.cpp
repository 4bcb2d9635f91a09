#include "rtl/StringList.h"

#include <gtest/gtest.h>

namespace vantro {
namespace {

TEST(StringList, LookupIgnoresCaseAndFindsTheFirst) {
  TStringList list;
  int a = 1, b = 2;
  list.AddObject("Host", &a);
  list.AddObject("HOST", &b);
  EXPECT_EQ(list.IndexOf("host"), 0);
  EXPECT_EQ(list.Objects(list.IndexOf("hOsT")), &a);
  EXPECT_EQ(list.IndexOf("hos"), -1);
  EXPECT_EQ(list.IndexOfObject(&b), 1);
}

TEST(StringList, SortedListWithEqualKeysInsertsBeforeThem) {
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(TStringList::TDuplicates::dupAccept);
  int first = 1, second = 2, third = 3;
  list.AddObject("b", &first);
  list.AddObject("a", nullptr);
  list.AddObject("B", &second);
  list.AddObject("c", nullptr);
  list.AddObject("b", &third);
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list[0], "a");
  EXPECT_EQ(list.Objects(1), &third);
  EXPECT_EQ(list.Objects(2), &second);
  EXPECT_EQ(list.Objects(3), &first);
  EXPECT_EQ(list[4], "c");
  EXPECT_EQ(list.IndexOf("B"), 1);
}

TEST(StringList, SortedListWithoutDuplicatesIgnoresOrRaises) {
  TStringList list;
  list.SetSorted(true);
  list.Add("x");
  EXPECT_EQ(list.Add("X"), 0);
  EXPECT_EQ(list.Count(), 1);
  list.SetDuplicates(TStringList::TDuplicates::dupError);
  EXPECT_THROW(list.Add("x"), EListError);
}

TEST(StringList, TextSplitsEveryLineEndAndJoinsWithCrLf) {
  TStringList list;
  list.SetText("a\r\nb\nc\rd\r\n\r\ne");
  ASSERT_EQ(list.Count(), 6);
  EXPECT_EQ(list[4], "");
  EXPECT_EQ(list.Text(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
}

TEST(StringList, BadIndexesRaise) {
  TStringList list;
  list.Add("only");
  EXPECT_THROW(list.Strings(1), EListError);
  EXPECT_THROW(list.Delete(-1), EListError);
  EXPECT_THROW(list.Insert(2, "x"), EListError);
  list.Insert(1, "end");
  list.Delete(0);
  EXPECT_EQ(list[0], "end");
}

}  // namespace
}  // namespace vantro
