#include <gtest/gtest.h>
#include <stdlib.h>

#include "automation/ClassRegistry.h"
#include "automation/Conversions.h"
#include "cRegistry.h"
#include "registry/tests/TempHive.h"
#include "tests/RegistryTestSupport.h"

namespace telvinor::console {
namespace {

using namespace telvinor::automation;
using namespace telvinor::console::testing;
using registry::HKEY_LOCAL_MACHINE;
using telvinor::testing::TempHive;

constexpr std::u16string_view kSettings = u"Software\\Brenlow\\Ostrel\\Telvinor";
constexpr std::int32_t kMachine = cRegistry::kLocalMachine;

class SettingsClass : public ::testing::Test {
 protected:
  Ref<cRegistry> Settings(std::u16string_view value, std::int32_t type = 1) {
    auto r = MakeRef<cRegistry>();
    r->SetClassKey(kMachine);
    r->SetSectionKey(std::u16string(kSettings));
    r->SetValueKey(std::u16string(value));
    r->SetValueType(type);
    return r;
  }
  std::optional<Stored> StoredSetting(std::u16string_view name) {
    return StoredValue(HKEY_LOCAL_MACHINE, kSettings, name);
  }
  // Writes a value straight through the registry calls, as another program would.
  void Put(std::u16string_view name, registry::DWORD type, std::vector<registry::BYTE> data) {
    registry::HKEY key = 0;
    ASSERT_EQ(registry::RegCreateKeyExA(HKEY_LOCAL_MACHINE, text::ToAnsi(kSettings).c_str(), 0, "",
                                        0, registry::KEY_ALL_ACCESS, nullptr, &key, nullptr),
              0);
    ASSERT_EQ(registry::RegSetValueExA(key, text::ToAnsi(name).c_str(), 0, type, data.data(),
                                       static_cast<registry::DWORD>(data.size())),
              0);
    registry::RegCloseKey(key);
  }
  // The object's properties, to show what an operation leaves behind.
  static std::tuple<std::int32_t, std::u16string, std::u16string, std::int32_t> State(
      const cRegistry& r) {
    return {r.ClassKey(), r.SectionKey(), r.ValueKey(), r.ValueType()};
  }

  TempHive hive_;
};

TEST_F(SettingsClass, MembersInDispatchOrderAndNotCreatableByOthers) {
  std::vector<std::u16string> names;
  for (const auto& m : cRegistry::Class().members) names.push_back(m.name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"KeyExists",
                                                u"CreateKey",
                                                u"DeleteKey",
                                                u"DeleteValue",
                                                u"Value",
                                                u"Value",
                                                u"EnumerateValues",
                                                u"EnumerateSections",
                                                u"CreateEXEAssociation",
                                                u"CreateAdditionalEXEAssociations",
                                                u"ValueType",
                                                u"ValueType",
                                                u"ClassKey",
                                                u"ClassKey",
                                                u"SectionKey",
                                                u"SectionKey",
                                                u"ValueKey",
                                                u"ValueKey",
                                                u"Default",
                                                u"Default"}));
  EXPECT_TRUE(cRegistry::Class().progId.empty());
  EXPECT_EQ(ErrorOf([] { (void)CreateObject(u"Kelmora.cRegistry"); })->number,
            errc::kCannotCreateObject);

  // A fresh object: everything empty or zero; the properties are plain stores.
  auto r = MakeRef<cRegistry>();
  EXPECT_EQ(State(*r), std::make_tuple(0, std::u16string(), std::u16string(), 0));
  EXPECT_TRUE(r->Default().IsEmpty());
  Variant key[] = {Variant(u"-2147483646")};
  CallByName(*r, u"classkey", InvokeKind::PropertyPut, key);
  Variant section[] = {Variant(u"Any\\Thing")};
  CallByName(*r, u"SectionKey", InvokeKind::PropertyPut, section);
  EXPECT_EQ(CallByName(*r, u"ClassKey", InvokeKind::PropertyGet, {}), Variant(kMachine));
  EXPECT_EQ(CallByName(*r, u"SectionKey", InvokeKind::PropertyGet, {}), Variant(u"Any\\Thing"));
}

TEST_F(SettingsClass, ReadingAMissingValueGivesDefault) {
  auto r = Settings(u"BinPath");
  r->SetValueType(4);
  Variant v = r->Value();
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(ToString(v), u"") << "the caller can compare it with the empty text";
  EXPECT_EQ(r->ValueType(), 4) << "a failed read leaves ValueType alone";
  r->SetDefault(Variant(u"none"));
  EXPECT_EQ(r->Value(), Variant(u"none"));
  r->SetSectionKey(u"No\\Such\\Key");
  EXPECT_EQ(r->Value(), Variant(u"none"));
  EXPECT_FALSE(r->KeyExists());
}

TEST_F(SettingsClass, TextTypeIsChosenByThePercentRule) {
  struct Case {
    std::int32_t valueType;
    std::u16string text;
    registry::DWORD stored;
  };
  const Case cases[] = {
      {1, u"D:\\agent", registry::REG_SZ},  {1, u"%TEMP%\\agent", registry::REG_EXPAND_SZ},
      {1, u"%a%", registry::REG_EXPAND_SZ},  // percent, one character, percent
      {1, u"%%", registry::REG_SZ},          // adjacent percent signs are no reference
      {1, u"%%x", registry::REG_SZ},        {1, u"%%x%", registry::REG_EXPAND_SZ},
      {2, u"50% off", registry::REG_SZ},  // a single percent sign with ValueType 2
      {2, u"plain", registry::REG_SZ},      {1, u"100% and 5%", registry::REG_EXPAND_SZ},
  };
  for (const auto& c : cases) {
    auto r = Settings(u"Text", c.valueType);
    r->SetValue(Variant(c.text));
    auto stored = StoredSetting(u"Text");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, c.stored) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(stored->data, AnsiZ(c.text));
    EXPECT_EQ(r->ValueType(), c.valueType) << "writing leaves ValueType as the caller set it";
  }
}

TEST_F(SettingsClass, TextLengthIsAnsiByteCountPlusTerminator) {
  auto r = Settings(u"Name");
  r->SetValue(Variant(u"你好"));  // two double-byte characters: 4 bytes and the terminator
  EXPECT_EQ(StoredSetting(u"Name")->data.size(), text::AnsiLength(u"你好") + 1);
  EXPECT_EQ(cRegistry::AnsiByteCount(u"你好"),
            static_cast<std::int16_t>(text::AnsiLength(u"你好")));
  EXPECT_EQ(r->Value(), Variant(u"你好"));
  r->SetValue(Variant(u""));
  EXPECT_EQ(StoredSetting(u"Name")->data.size(), 0u) << "the empty text is written as 0 bytes";
  EXPECT_EQ(r->Value(), Variant(u""));
  // Values that are not text are written as their text.
  r->SetValue(Variant(2.5));
  EXPECT_EQ(r->Value(), Variant(u"2.5"));
}

TEST_F(SettingsClass, SixteenBitByteCountOverflows) {
  EXPECT_EQ(cRegistry::AnsiByteCount(std::u16string(32767, u'a')), 32767);
  EXPECT_EQ(ErrorOf([] { (void)cRegistry::AnsiByteCount(std::u16string(16384, u'你')); })->number,
            errc::kOverflow);
  EXPECT_EQ(ErrorOf([] { (void)cRegistry::AnsiByteCount(std::u16string(40000, u'a')); })->number,
            errc::kOverflow);

  auto r = Settings(u"Long");
  r->SetValue(Variant(std::u16string(32766, u'a')));
  EXPECT_EQ(StoredSetting(u"Long")->data.size(), 32767u);
  // A byte count that reaches 32,767 leaves no room for the terminator in 16 bits.
  for (const auto& text : {std::u16string(32767, u'a'), std::u16string(16384, u'你')}) {
    auto error = ErrorOf([&] { r->SetValue(Variant(text)); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, errc::kOverflow);
    EXPECT_EQ(error->source, u"Kelmora.cRegistry");
    EXPECT_EQ(error->description, u"Overflow");
  }
  EXPECT_EQ(StoredSetting(u"Long")->data.size(), 32767u) << "the failed writes stored nothing";
}

TEST_F(SettingsClass, ReadingFollowsTheStoredType) {
  setenv("TELVINOR_TEST_AGENT_DIR", "/srv/agent", 1);
  Put(u"Sz", registry::REG_SZ, AnsiZ(u"D:\\agent"));
  Put(u"Expand", registry::REG_EXPAND_SZ, AnsiZ(u"%TELVINOR_TEST_AGENT_DIR%\\bin"));
  Put(u"Multi", registry::REG_MULTI_SZ, {'a', 0, 'b', 0, 0});
  Put(u"Dword", registry::REG_DWORD, {0x2a, 0, 0, 0});
  Put(u"Big", registry::REG_DWORD_BIG_ENDIAN, {0, 0, 1, 2});
  Put(u"Binary", registry::REG_BINARY, {1, 2, 0, 255});
  Put(u"None", registry::REG_NONE, {});
  Put(u"Odd", 0x1234, {7, 7});
  Put(u"Unterminated", registry::REG_SZ, {'a', 'b'});
  struct Case {
    std::u16string_view name;
    Variant expected;
    std::int32_t type;
  };
  const Case cases[] = {
      {u"Sz", Variant(u"D:\\agent"), 1},
      {u"Expand", Variant(u"/srv/agent\\bin"), 2},
      {u"Multi", Variant(std::u16string(u"a\0b\0", 4)), 7},  // items stay NUL-separated
      {u"Dword", Variant(42), 4},
      {u"Big", Variant(0x00000102), 5},
      {u"Binary", Variant(SafeArray::FromBytes(std::vector<std::uint8_t>{1, 2, 0, 255})), 3},
      {u"None", Variant(SafeArray::FromBytes(std::vector<std::uint8_t>{})), 0},
      {u"Odd", Variant(SafeArray::FromBytes(std::vector<std::uint8_t>{7, 7})), 0x1234},
      {u"Unterminated", Variant(u"ab"), 1},
  };
  for (const auto& c : cases) {
    auto r = Settings(c.name, 99);
    EXPECT_EQ(r->Value(), c.expected)
        << std::string(c.name.begin(), c.name.end()) << ": " << r->Value().DebugString();
    EXPECT_EQ(r->ValueType(), c.type) << "a read sets ValueType to the stored type";
  }
  // Byte data reads back exactly: bounds 0 to size - 1, no extra element.
  Variant bytes = Settings(u"Binary")->Value();
  EXPECT_EQ(bytes.AsArray().LowerBound(), 0);
  EXPECT_EQ(bytes.AsArray().UpperBound(), 3);
  EXPECT_EQ(cRegistry::SwapByteOrder(0x11223344u), 0x44332211u);
  unsetenv("TELVINOR_TEST_AGENT_DIR");
}

TEST_F(SettingsClass, NumbersAreWrittenAsDwordsOrRefused) {
  // After reading a REG_DWORD the object writes numbers unless ValueType is set again.
  Put(u"Count", registry::REG_DWORD, {1, 0, 0, 0});
  auto r = Settings(u"Count");
  (void)r->Value();
  EXPECT_EQ(r->ValueType(), 4);
  struct Good {
    const char* name;
    Variant value;
    std::int32_t valueType;
    std::int32_t stored;
  };
  const Good good[] = {
      {"Integer", Variant(std::int16_t{-7}), 4, -7},
      {"Long", Variant(2000000000), 4, 2000000000},
      {"big-endian asked, REG_DWORD written", Variant(0x01020304), 5, 0x01020304},
      {"whole Double", Variant(3.0), 4, 3},
      {"Byte", Variant(std::uint8_t{200}), 4, 200},
      {"numeric text", Variant(u" 12 "), 4, 12},
      {"whole Currency", Variant::Currency(50000), 4, 5},
  };
  for (const auto& g : good) {
    r->SetValueType(g.valueType);
    r->SetValue(g.value);
    auto v = static_cast<std::uint32_t>(g.stored);
    EXPECT_EQ(StoredSetting(u"Count"),
              (Stored{registry::REG_DWORD,
                      {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                       static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)}}))
        << g.name;
  }
  // Anything that is not a whole number in range raises the set-value error; nothing is written.
  const Variant bad[] = {Variant(2.5),
                         Variant(u"abc"),
                         Variant(1e10),
                         Variant(),
                         Variant::Null(),
                         Variant(true),
                         Variant(SafeArray::FromBytes(std::vector<std::uint8_t>{1}))};
  r->SetValueType(4);
  for (const auto& b : bad) {
    auto error = ErrorOf([&] { r->SetValue(b); });
    ASSERT_TRUE(error) << b.DebugString();
    EXPECT_EQ(error->number, cRegistry::kSetValueError) << b.DebugString();
    EXPECT_EQ(StoredSetting(u"Count")->data, (std::vector<std::uint8_t>{5, 0, 0, 0}))
        << b.DebugString();
  }
  auto error = ErrorOf([&] { r->SetValue(Variant(2.5)); });
  EXPECT_EQ(error->description,
            u"Failed to set registry value Key: '-2147483646',Section: "
            u"'Software\\Brenlow\\Ostrel\\Telvinor',Key: 'Count' to value: '2.5'");
}

TEST_F(SettingsClass, ByteDataIsWrittenAndReadExactly) {
  auto r = Settings(u"Blob", 3);
  std::vector<std::uint8_t> bytes{0, 1, 2, 254, 255};
  r->SetValue(Variant(SafeArray::FromBytes(bytes)));
  EXPECT_EQ(StoredSetting(u"Blob"), (Stored{registry::REG_BINARY, bytes}));
  EXPECT_EQ(r->Value(), Variant(SafeArray::FromBytes(bytes)));
  r->SetValueType(3);
  r->SetValue(Variant(SafeArray::FromBytes(std::vector<std::uint8_t>{})));
  EXPECT_EQ(StoredSetting(u"Blob"), (Stored{registry::REG_BINARY, {}}));

  // Anything but a byte array: error 26001 without source or description of its own.
  auto error = ErrorOf([&] { r->SetValue(Variant(u"01 02")); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number, 26001);
  EXPECT_EQ(error->source, u"");
  EXPECT_EQ(error->description, kApplicationDefinedErrorText);
  EXPECT_EQ(StoredSetting(u"Blob"), (Stored{registry::REG_BINARY, {}}));
}

TEST_F(SettingsClass, TypesThatCannotBeWrittenRaiseTheSetValueError) {
  for (std::int32_t type : {0, 6, 7, 8, -1}) {
    auto r = Settings(u"Typed", type);
    auto error = ErrorOf([&] { r->SetValue(Variant(u"x")); });
    ASSERT_TRUE(error) << type;
    EXPECT_EQ(error->number, static_cast<std::int32_t>(0x800469a9u));
    EXPECT_EQ(error->number, -2147194455);
    EXPECT_EQ(error->source, u"Kelmora.cRegistry");
    EXPECT_EQ(error->description,
              u"Failed to set registry value Key: '-2147483646',Section: "
              u"'Software\\Brenlow\\Ostrel\\Telvinor',Key: 'Typed' to value: 'x'");
    EXPECT_FALSE(StoredSetting(u"Typed")) << type;
    EXPECT_EQ(State(*r),
              std::make_tuple(kMachine, std::u16string(kSettings), std::u16string(u"Typed"), type));
  }
}

TEST_F(SettingsClass, KeyOperationsAndTheirErrorTexts) {
  auto r = Settings(u"BinPath");
  r->SetSectionKey(u"Software\\Brenlow\\Ostrel\\Telvinor\\Child");
  EXPECT_FALSE(r->KeyExists());
  EXPECT_TRUE(r->CreateKey());
  EXPECT_TRUE(r->KeyExists());
  EXPECT_TRUE(r->CreateKey()) << "an existing key is opened";

  struct Case {
    const char* name;
    std::function<void(cRegistry&)> setUp;
    std::function<void(cRegistry&)> call;
    std::int32_t number;
    std::u16string description;
  };
  const std::u16string s = u"Software\\Brenlow\\Ostrel\\Telvinor";
  const Case cases[] = {
      {"CreateKey on a root that is no key", [](cRegistry& o) { o.SetClassKey(0); },
       [](cRegistry& o) { o.CreateKey(); }, 26001, u"Failed to create registry Key: '" + s},
      {"DeleteKey with a subkey", [](cRegistry&) {}, [](cRegistry& o) { o.DeleteKey(); }, 26001,
       u"Failed to delete registry Key: '-2147483646',Section: '" + s},
      {"DeleteValue on a missing key", [](cRegistry& o) { o.SetSectionKey(u"Software\\Nowhere"); },
       [](cRegistry& o) { o.DeleteValue(); }, 26001,
       u"Failed to open key '-2147483646',Section: 'Software\\Nowhere' for delete access"},
      {"DeleteValue of a missing value", [](cRegistry& o) { o.SetValueKey(u"Nope"); },
       [](cRegistry& o) { o.DeleteValue(); }, 26001,
       u"Failed to delete registry Key: '-2147483646',Section: '" + s + u"',Key: 'Nope"},
      {"Value write on a root that is no key", [](cRegistry& o) { o.SetClassKey(7); },
       [](cRegistry& o) { o.SetValue(Variant(u"D:\\agent")); }, 26001,
       u"Failed to set registry value Key: '7',Section: '" + s +
           u"',Key: 'BinPath' to value: 'D:\\agent'"},
  };
  for (const auto& c : cases) {
    auto o = Settings(u"BinPath");
    c.setUp(*o);
    auto before = State(*o);
    auto error = ErrorOf([&] { c.call(*o); });
    ASSERT_TRUE(error) << c.name;
    EXPECT_EQ(error->number, c.number) << c.name;
    EXPECT_EQ(error->source, u"Kelmora.cRegistry") << c.name;
    EXPECT_EQ(error->description, c.description) << c.name;
    EXPECT_EQ(State(*o), before) << c.name << ": the properties keep their values";
  }

  r->SetValueKey(u"Gone");
  r->SetValue(Variant(u"x"));
  EXPECT_TRUE(r->DeleteValue());
  EXPECT_FALSE(StoredValue(HKEY_LOCAL_MACHINE, r->SectionKey(), u"Gone"));
  EXPECT_TRUE(r->DeleteKey());
  EXPECT_FALSE(r->KeyExists());
}

TEST_F(SettingsClass, EnumerationsFillOneBasedArraysThroughByRefArguments) {
  auto r = Settings(u"");
  for (std::u16string_view name : {u"BinPath", u"AgentRunPath", u"StatePath", u"名字"}) {
    r->SetValueKey(std::u16string(name));
    r->SetValue(Variant(u"x"));
  }
  for (std::u16string_view sub : {u"Beta", u"alpha"}) {
    auto child = Settings(u"");
    child->SetSectionKey(std::u16string(kSettings) + u"\\" + std::u16string(sub));
    child->CreateKey();
  }
  // A subkey name of 200 double-byte characters (400 bytes) does not end the walk.
  auto longChild = Settings(u"");
  longChild->SetSectionKey(std::u16string(kSettings) + u"\\" + std::u16string(200, u'长'));
  longChild->CreateKey();

  // As a script calls them: the caller's variables receive the array and the count.
  Variant names(u"old contents"), count(std::int16_t{99});
  Variant args[] = {Variant::ByRef(names), Variant::ByRef(count)};
  EXPECT_EQ(CallByName(*r, u"EnumerateValues", InvokeKind::Method, args), Variant(true));
  EXPECT_EQ(count, Variant(4));
  EXPECT_EQ(names.AsArray().LowerBound(), 1);
  EXPECT_EQ(names.AsArray().UpperBound(), 4);
  EXPECT_EQ(Texts(names),
            (std::vector<std::u16string>{u"BinPath", u"AgentRunPath", u"StatePath", u"名字"}));

  EXPECT_EQ(CallByName(*r, u"EnumerateSections", InvokeKind::Method, args), Variant(true));
  EXPECT_EQ(count, Variant(3));
  EXPECT_EQ(Texts(names),
            (std::vector<std::u16string>{u"alpha", u"Beta", std::u16string(200, u'长')}));
  EXPECT_EQ(names.AsArray().At(1), Variant(u"alpha"));

  // A missing key: true, a count of 0 and an empty array.
  r->SetSectionKey(u"Software\\Nowhere");
  for (auto member : {u"EnumerateValues", u"EnumerateSections"}) {
    EXPECT_EQ(CallByName(*r, member, InvokeKind::Method, args), Variant(true));
    EXPECT_EQ(count, Variant(0));
    EXPECT_EQ(names.AsArray().Size(), 0u);
  }
}

}  // namespace
}  // namespace telvinor::console
