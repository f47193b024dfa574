#include <gtest/gtest.h>

#include "automation/SafeArray.h"
#include "automation/Variant.h"

namespace telvinor::automation {
namespace {

TEST(BStringAppend, GrowsInPlaceWhenUnsharedAndCopiesWhenShared) {
  Variant s(u"ab");
  s.AppendText(u"cd");
  const char16_t* before = s.AsString().data();
  s.AppendText(u"e");  // room was reserved by the first append
  EXPECT_EQ(s.AsString(), u"abcde");
  EXPECT_EQ(s.AsString().data(), before);

  Variant shared = s;
  shared.AppendText(u"!");
  EXPECT_EQ(s.AsString(), u"abcde");  // the other holder does not see the change
  EXPECT_EQ(shared.AsString(), u"abcde!");

  Variant self(u"xy");
  self.AppendText(u"z");
  self.AppendText(self.AsString());  // a view of its own buffer
  EXPECT_EQ(self.AsString(), u"xyzxyz");
}

TEST(RefCountedRelease, AChainOfAMillionNestedArraysIsFreedWithoutDeepRecursion) {
  Variant v(SafeArray::FromValues({}));
  for (int i = 0; i < 1'000'000; ++i) v = Variant(SafeArray::FromValues({v}));
  v = Variant();  // would overflow the stack if each level freed the next recursively
  SUCCEED();
}

}  // namespace
}  // namespace telvinor::automation
