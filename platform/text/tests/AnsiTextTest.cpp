#include <gtest/gtest.h>

#include "text/AnsiText.h"

namespace telvinor::text {
namespace {

TEST(AnsiText, Gbk936RoundTripsChineseAndCountsBytes) {
  std::u16string text = u"Info:AgentRun 主脚本加载错误！";
  std::string bytes = ToAnsi(text, 936);
  // "主" is D6 F7 in the Chinese page; 14 ASCII characters and 8 double-byte ones.
  EXPECT_EQ(bytes.substr(14, 2), "\xD6\xF7");
  EXPECT_EQ(bytes.size(), 14u + 2 * 8);
  EXPECT_EQ(AnsiLength(text, 936), bytes.size());
  EXPECT_EQ(FromAnsi(bytes, 936), text);
}

TEST(AnsiText, UnmappableAndInvalidInputAreHandledTheSameWayEveryTime) {
  // U+0E01 (Thai) has no place in the Chinese page; a lone surrogate has none anywhere.
  EXPECT_EQ(ToAnsi(u"a\u0E01b", 936), "a?b");
  EXPECT_EQ(ToAnsi(std::u16string(1, char16_t(0xD800)) + u"x", 936), "?x");
  EXPECT_EQ(ToAnsi(u"é", 1252), "\xE9");
  // A stray lead byte at the end, and a lead byte followed by an invalid trail.
  EXPECT_EQ(FromAnsi("ab\xD6", 936), u"ab\uFFFD");
  EXPECT_EQ(FromAnsi("\xFF\xFFz", 936).back(), u'z');
  EXPECT_EQ(FromAnsi("\xE9", 65001), u"\uFFFD");
}

TEST(AnsiText, AscAndChrCodes) {
  EXPECT_EQ(AnsiCodeOf(u'A', 936), 65);
  EXPECT_EQ(AnsiCodeOf(u'主', 936), 0xD6F7);
  EXPECT_EQ(CharOfAnsiCode(0xD6F7, 936), u'主');
  EXPECT_EQ(CharOfAnsiCode(0x41, 936), u'A');
  EXPECT_EQ(AnsiCodeOf(u'\u0E01', 936), '?');
}

}  // namespace
}  // namespace telvinor::text
