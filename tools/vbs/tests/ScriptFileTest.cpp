// How the runner decodes script files: byte-order marks first, else the ANSI code page.

#include <gtest/gtest.h>

#include "ScriptFile.h"

namespace telvinor::vbs {
namespace {

TEST(ScriptFile, ByteOrderMarksChooseTheEncoding) {
  EXPECT_EQ(DecodeScript("\xEF\xBB\xBFx=\xE4\xB8\xAD"), u"x=中");
  EXPECT_EQ(DecodeScript(std::string("\xFF\xFEx\0=\0-N", 8)), u"x=中");
  EXPECT_EQ(DecodeScript(std::string("\xFE\xFF\0x\0=N-", 8)), u"x=中");
  // An odd trailing byte of UTF-16 is dropped rather than read past the end.
  EXPECT_EQ(DecodeScript(std::string("\xFF\xFEx\0y", 5)), u"x");
}

TEST(ScriptFile, WithoutAMarkTheAnsiCodePageIsUsed) {
  ::setenv("TELVINOR_CODEPAGE", "936", 1);
  EXPECT_EQ(DecodeScript("x=\xD6\xD0"), u"x=中");
  EXPECT_FALSE(ReadScriptFile("/no/such/file.vbs").has_value());
}

}  // namespace
}  // namespace telvinor::vbs
