#include "vbscript/Builtins.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "automation/ClassInfo.h"
#include "automation/Conversions.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {
namespace {

struct Constant {
  std::u16string_view name;
  Variant value;
};

Variant I(std::int32_t v) {
  if (v >= -32768 && v <= 32767) return Variant(static_cast<std::int16_t>(v));
  return Variant(v);
}

// The language's named constants.
std::vector<Constant> MakeConstants() {
  return {
      {u"vbCr", Variant(u"\r")},
      {u"vbLf", Variant(u"\n")},
      {u"vbCrLf", Variant(u"\r\n")},
      {u"vbNewLine", Variant(u"\r\n")},
      {u"vbTab", Variant(u"\t")},
      {u"vbNullString", Variant(u"")},
      {u"vbNullChar", Variant(std::u16string(1, u'\0'))},
      {u"vbFormFeed", Variant(u"\f")},
      {u"vbVerticalTab", Variant(u"\v")},
      {u"vbTrue", I(-1)},
      {u"vbFalse", I(0)},
      {u"vbUseDefault", I(-2)},
      {u"vbBinaryCompare", I(0)},
      {u"vbTextCompare", I(1)},
      {u"vbDatabaseCompare", I(2)},
      {u"vbEmpty", I(0)},
      {u"vbNull", I(1)},
      {u"vbInteger", I(2)},
      {u"vbLong", I(3)},
      {u"vbSingle", I(4)},
      {u"vbDouble", I(5)},
      {u"vbCurrency", I(6)},
      {u"vbDate", I(7)},
      {u"vbString", I(8)},
      {u"vbObject", I(9)},
      {u"vbError", I(10)},
      {u"vbBoolean", I(11)},
      {u"vbVariant", I(12)},
      {u"vbDataObject", I(13)},
      {u"vbDecimal", I(14)},
      {u"vbByte", I(17)},
      {u"vbArray", I(8192)},
      {u"vbOKOnly", I(0)},
      {u"vbOKCancel", I(1)},
      {u"vbAbortRetryIgnore", I(2)},
      {u"vbYesNoCancel", I(3)},
      {u"vbYesNo", I(4)},
      {u"vbRetryCancel", I(5)},
      {u"vbCritical", I(16)},
      {u"vbQuestion", I(32)},
      {u"vbExclamation", I(48)},
      {u"vbInformation", I(64)},
      {u"vbDefaultButton1", I(0)},
      {u"vbDefaultButton2", I(256)},
      {u"vbDefaultButton3", I(512)},
      {u"vbDefaultButton4", I(768)},
      {u"vbApplicationModal", I(0)},
      {u"vbSystemModal", I(4096)},
      {u"vbOK", I(1)},
      {u"vbCancel", I(2)},
      {u"vbAbort", I(3)},
      {u"vbRetry", I(4)},
      {u"vbIgnore", I(5)},
      {u"vbYes", I(6)},
      {u"vbNo", I(7)},
      {u"vbUseSystemDayOfWeek", I(0)},
      {u"vbSunday", I(1)},
      {u"vbMonday", I(2)},
      {u"vbTuesday", I(3)},
      {u"vbWednesday", I(4)},
      {u"vbThursday", I(5)},
      {u"vbFriday", I(6)},
      {u"vbSaturday", I(7)},
      {u"vbUseSystem", I(0)},
      {u"vbFirstJan1", I(1)},
      {u"vbFirstFourDays", I(2)},
      {u"vbFirstFullWeek", I(3)},
      {u"vbGeneralDate", I(0)},
      {u"vbLongDate", I(1)},
      {u"vbShortDate", I(2)},
      {u"vbLongTime", I(3)},
      {u"vbShortTime", I(4)},
      {u"vbObjectError", Variant(automation::errc::kObjectErrorBase)},
      {u"vbBlack", I(0)},
      {u"vbRed", I(255)},
      {u"vbGreen", I(65280)},
      {u"vbYellow", I(65535)},
      {u"vbBlue", I(16711680)},
      {u"vbMagenta", I(16711935)},
      {u"vbCyan", I(16776960)},
      {u"vbWhite", I(16777215)},
  };
}

struct Index {
  std::vector<Constant> constants = MakeConstants();
  std::vector<Builtin> constantEntries;
  std::unordered_map<std::u16string, const Builtin*> byName;
  std::unordered_map<std::u16string, const Variant*> constantByName;

  Index() {
    constantEntries.reserve(constants.size());
    for (const auto& c : constants) {
      Builtin b;
      b.name = c.name;
      b.isConstant = true;
      b.constant = &c.value;
      constantEntries.push_back(b);
    }
    for (const auto& b : constantEntries) {
      byName.emplace(automation::FoldCase(b.name), &b);
      constantByName.emplace(automation::FoldCase(b.name), b.constant);
    }
    for (auto table : {StringFunctions(), MathFunctions(), DateFunctions(), ConversionFunctions(),
                       ArrayFunctions(), FormatFunctions(), GlobalFunctions()}) {
      for (const auto& b : table) byName.emplace(automation::FoldCase(b.name), &b);
    }
  }
};

const Index& TheIndex() {
  static const Index index;
  return index;
}

}  // namespace

const Builtin* FindBuiltin(std::u16string_view folded) {
  const auto& index = TheIndex();
  auto it = index.byName.find(std::u16string(folded));
  return it == index.byName.end() ? nullptr : it->second;
}

const Variant* FindBuiltinConstant(std::u16string_view folded) {
  const auto& index = TheIndex();
  auto it = index.constantByName.find(std::u16string(folded));
  return it == index.constantByName.end() ? nullptr : it->second;
}

namespace lib {

bool AnyNull(std::span<Variant> a, std::size_t count) {
  for (std::size_t i = 0; i < count && i < a.size(); ++i) {
    if (a[i].IsNull()) return true;
  }
  return false;
}

std::int32_t LongArg(std::span<Variant> a, std::size_t i, std::int32_t otherwise) {
  if (!Given(a, i)) return otherwise;
  return automation::ToLong(a[i]);
}

std::int32_t CountArg(const Variant& v) {
  if (v.IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  std::int32_t n = automation::ToLong(v);
  if (n < 0) ThrowRuntime(err::kInvalidProcedureCall);
  return n;
}

automation::BString TextArg(const Variant& v) {
  return automation::ToBString(v);
}

Variant Value(const Variant& v) {
  if (v.IsObject()) return automation::DefaultValue(v);
  return v.Deref();
}

}  // namespace lib
}  // namespace telvinor::vbscript
