// The interpreter library's build of the settings class: same behaviour, its own error source.
#include <gtest/gtest.h>

#include "cRegistry.h"
#include "registry/tests/TempHive.h"

namespace telvinor::console {
namespace {

using namespace telvinor::automation;

TEST(VessamorSettingsClass, RaisesUnderTheLibrarysNameAndWritesTextLikeTheConsole) {
  telvinor::testing::TempHive hive;
  EXPECT_EQ(cRegistry::ErrorSource(), u"Vessamor.cRegistry");
  auto r = MakeRef<cRegistry>();
  r->SetClassKey(cRegistry::kLocalMachine);
  r->SetSectionKey(u"Software\\Brenlow\\Ostrel\\Telvinor");
  r->SetValueKey(u"BinPath");
  r->SetValueType(8);
  try {
    r->SetValue(Variant(u"x"));
    ADD_FAILURE() << "no error raised";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), cRegistry::kSetValueError);
    EXPECT_EQ(e.Source(), u"Vessamor.cRegistry");
  }
  // Text of double-byte characters is written whole, as the console's build writes it.
  r->SetValueType(1);
  r->SetValue(Variant(u"D:\\坐席"));
  EXPECT_EQ(r->Value(), Variant(u"D:\\坐席"));
}

}  // namespace
}  // namespace telvinor::console
