#include <gtest/gtest.h>

#include "registry/RegFile.h"
#include "text/Utf8.h"

namespace telvinor::registry {
namespace {

const RootInfo& Root(HKEY h) {
  return *RootByHandle(h);
}

std::vector<std::u16string> Names(std::u16string_view path) {
  return SplitKeyPath(path).names;
}

HiveKey& Key(Hive& hive, HKEY root, std::u16string_view path) {
  bool created = false;
  return *hive.Create(Root(root), Names(path), created);
}

Hive Parse(std::string_view text) {
  auto parsed = ParseRegFile(text);
  EXPECT_FALSE(parsed.error) << parsed.error->line << ": " << parsed.error->message;
  Hive hive;
  EXPECT_FALSE(ApplyRegFile(parsed.file, hive));
  return hive;
}

// Every kind of value the hive must carry unchanged, including text that a quoted string
// cannot hold and type numbers the format does not name.
Hive VarietyHive() {
  Hive hive;
  HiveKey& k = Key(hive, HKEY_LOCAL_MACHINE, u"Software\\Brenlow\\Ostrel\\Telvinor");
  k.SetValue(u"BinPath", REG_SZ, TextValue(u"", REG_SZ, u"D:\\agent").data);
  k.SetValue(u"", REG_SZ, TextValue(u"", REG_SZ, u"say \"hi\" \\ 你好").data);
  k.SetValue(u"Count", REG_DWORD, DwordValue(u"", 0x1f).data);
  k.SetValue(u"Temp", REG_EXPAND_SZ, TextValue(u"", REG_EXPAND_SZ, u"%TEMP%\\x").data);
  k.SetValue(u"List", REG_MULTI_SZ, Utf16Data(std::u16string(u"a\0b\0\0", 5)));
  k.SetValue(u"Big", REG_DWORD_BIG_ENDIAN, {0, 0, 1, 2});
  std::vector<BYTE> bytes(100);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<BYTE>(i * 7);
  k.SetValue(u"Bytes", REG_BINARY, bytes);
  k.SetValue(u"None", REG_NONE, {});
  k.SetValue(u"Odd type", 0x1234, {9, 8, 7});
  k.SetValue(u"NoTerminator", REG_SZ, Utf16Data(u"abc"));
  k.SetValue(u"Empty", REG_SZ, {});
  k.SetValue(u"TwoLines", REG_SZ, TextValue(u"", REG_SZ, u"one\r\ntwo").data);
  k.SetValue(u"ShortDword", REG_DWORD, {1, 2});
  k.SetValue(u"名字 \"quoted\"", REG_SZ, TextValue(u"", REG_SZ, u"").data);
  Key(hive, HKEY_LOCAL_MACHINE, u"Software\\Brenlow\\Empty Key");
  Key(hive, HKEY_CLASSES_ROOT, u".vox")
      .SetValue(u"", REG_SZ, TextValue(u"", REG_SZ, u"VoxFile").data);
  Key(hive, HKEY_CURRENT_USER, u"Software\\Ui").SetValue(u"x", REG_DWORD, DwordValue(u"", 1).data);
  Key(hive, HKEY_USERS, u".DEFAULT\\Keyboard");
  return hive;
}

TEST(RegFile, EveryValueSurvivesWriteAndParse) {
  Hive original = VarietyHive();
  std::string text = WriteHiveText(original);
  Hive again = Parse(text);
  EXPECT_TRUE(again.SameContent(original)) << text;
  EXPECT_EQ(WriteHiveText(again), text);
}

TEST(RegFile, WritesTheRegistryEditorsFormat) {
  Hive hive;
  HiveKey& k = Key(hive, HKEY_LOCAL_MACHINE, u"Software\\Brenlow");
  k.SetValue(u"BinPath", REG_SZ, TextValue(u"", REG_SZ, u"D:\\agent").data);
  k.SetValue(u"", REG_SZ, TextValue(u"", REG_SZ, u"默认").data);
  k.SetValue(u"Count", REG_DWORD, DwordValue(u"", 0x1f).data);
  k.SetValue(u"Path", REG_EXPAND_SZ, TextValue(u"", REG_EXPAND_SZ, u"%A%").data);
  k.SetValue(u"Raw", REG_BINARY, {1, 0xab});
  Key(hive, HKEY_CURRENT_USER, u"Software\\Ui");
  EXPECT_EQ(WriteHiveText(hive),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brenlow]\n"
            "\"BinPath\"=\"D:\\\\agent\"\n"
            "@=\"\xE9\xBB\x98\xE8\xAE\xA4\"\n"
            "\"Count\"=dword:0000001f\n"
            "\"Path\"=hex(2):25,00,41,00,25,00,00,00\n"
            "\"Raw\"=hex:01,ab\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]\n\n"
            "[HKEY_CURRENT_USER\\Software]\n\n"
            "[HKEY_CURRENT_USER\\Software\\Ui]\n\n");
}

TEST(RegFile, LongHexListsWrapAndReadBack) {
  RegValue v{u"Bytes", REG_BINARY, std::vector<BYTE>(200, 0x5a)};
  std::u16string line = ValueLine(v);
  std::size_t start = 0, lines = 0;
  while (start <= line.size()) {
    std::size_t end = line.find(u'\n', start);
    if (end == std::u16string::npos) end = line.size();
    EXPECT_LE(end - start, 80u);
    ++lines;
    start = end + 1;
  }
  EXPECT_GT(lines, 5u);
  std::string text =
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n" + text::ToUtf8(line) + "\n";
  Hive hive = Parse(text);
  EXPECT_EQ(*hive.Find(Root(HKEY_CURRENT_USER), Names(u"X"))->Value(u"bytes"), v);
}

TEST(RegFile, ReadsWhatPeopleAndTheWindowsEditorWrite) {
  // CRLF line ends, comments, blank lines, spaces around "=", upper-case hex, a byte-order mark,
  // names in another case than first written, HKEY_CLASSES_ROOT sections.
  std::string text =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
      "; settings\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Brenlow]\r\n"
      "\"A\" = \"1\"\r\n"
      "[hkey_local_machine\\SOFTWARE\\BRENLOW]\r\n"
      "\"a\"=dword:0000000A\r\n"
      "\"B\"=hex:01,\\\r\n"
      "  02,03\r\n"
      "[HKEY_CLASSES_ROOT\\.vox]\r\n"
      "@=\"VoxFile\"\r\n";
  Hive hive = Parse(text);
  const HiveKey* k = hive.Find(Root(HKEY_LOCAL_MACHINE), Names(u"software\\brenlow"));
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->Name(), u"Brenlow");
  ASSERT_EQ(k->Values().size(), 2u);
  EXPECT_EQ(k->Values()[0], DwordValue(u"A", 10));  // set twice: first name, last data
  EXPECT_EQ(k->Values()[1], (RegValue{u"B", REG_BINARY, {1, 2, 3}}));
  const HiveKey* vox = hive.Find(Root(HKEY_LOCAL_MACHINE), Names(u"SOFTWARE\\Classes\\.vox"));
  ASSERT_NE(vox, nullptr);
  EXPECT_EQ(*vox->Value(u""), TextValue(u"", REG_SZ, u"VoxFile"));

  // The same file as the Windows editor saves it: UTF-16LE with a byte-order mark.
  std::u16string wide =
      u"Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\Ui]\r\n\"名\"=\"值\"\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : wide) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  Hive fromWide = Parse(utf16);
  EXPECT_EQ(*fromWide.Find(Root(HKEY_CURRENT_USER), Names(u"Ui"))->Value(u"名"),
            TextValue(u"名", REG_SZ, u"值"));
}

TEST(RegFile, ImportRemovesKeysAndValues) {
  Hive hive = Parse(
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_CURRENT_USER\\A\\B\\C]\n\"keep\"=\"1\"\n\"drop\"=\"2\"\n"
      "[HKEY_CURRENT_USER\\A\\D]\n");
  auto parsed = ParseRegFile(
      "Windows Registry Editor Version 5.00\n"
      "[-HKEY_CURRENT_USER\\A\\D]\n"
      "[HKEY_CURRENT_USER\\A\\B\\C]\n\"drop\"=-\n"
      "[-HKEY_CURRENT_USER\\Not\\There]\n");
  ASSERT_FALSE(parsed.error);
  EXPECT_FALSE(ApplyRegFile(parsed.file, hive));
  const RootInfo& hkcu = Root(HKEY_CURRENT_USER);
  EXPECT_EQ(hive.Find(hkcu, Names(u"A\\D")), nullptr);
  const HiveKey* c = hive.Find(hkcu, Names(u"A\\B\\C"));
  ASSERT_NE(c, nullptr);
  EXPECT_NE(c->Value(u"keep"), nullptr);
  EXPECT_EQ(c->Value(u"drop"), nullptr);

  auto wipe = ParseRegFile("Windows Registry Editor Version 5.00\n\n[-HKEY_CLASSES_ROOT]\n");
  ASSERT_FALSE(wipe.error);
  auto refused = ApplyRegFile(wipe.file, hive);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->line, 3u);
}

TEST(RegFile, DamageIsReportedWithItsLine) {
  struct Case {
    const char* name;
    std::string text;
    std::size_t line;
    const char* message;
  };
  const std::string h = "Windows Registry Editor Version 5.00\n";
  const Case cases[] = {
      {"no header", "[HKEY_CURRENT_USER\\A]\n", 1, "first line"},
      {"empty file", "", 1, "first line"},
      {"old format", "REGEDIT4\n", 1, "first line"},
      {"value before any key", h + "\"a\"=\"b\"\n", 2, "must follow a [key]"},
      {"unknown root", h + "[HKEY_NOWHERE\\A]\n", 2, "not a key path"},
      {"empty key name", h + "[HKEY_CURRENT_USER\\A\\\\B]\n", 2, "not a key path"},
      {"unclosed section", h + "[HKEY_CURRENT_USER\\A\n", 2, "must end with"},
      {"bad escape", h + "[HKEY_CURRENT_USER\\A]\n\"p\"=\"C:\\agent\"\n", 3, "backslash"},
      {"unclosed quote", h + "[HKEY_CURRENT_USER\\A]\n\n\"p\"=\"abc\n", 4, "closing quote"},
      {"no equals", h + "[HKEY_CURRENT_USER\\A]\n\"p\" \"abc\"\n", 3, "\"=\""},
      {"text after quote", h + "[HKEY_CURRENT_USER\\A]\n\"p\"=\"a\" b\n", 3,
       "after the closing quote"},
      {"long dword", h + "[HKEY_CURRENT_USER\\A]\n\"d\"=dword:123456789\n", 3, "dword:"},
      {"bad byte", h + "[HKEY_CURRENT_USER\\A]\n\"b\"=hex:01,zz\n", 3, "hex list"},
      {"bad type", h + "[HKEY_CURRENT_USER\\A]\n\"b\"=hex(q):01\n", 3, "hex("},
      {"list runs off the end", h + "[HKEY_CURRENT_USER\\A]\n\"b\"=hex:01,\\\n", 3, "past the end"},
      {"stray text", h + "[HKEY_CURRENT_USER\\A]\nhello\n", 3, "expected"},
      {"broken UTF-8", h + "[HKEY_CURRENT_USER\\A]\n\"a\"=\"\xC3\"\n", 3, "UTF-8"},
  };
  for (const auto& c : cases) {
    auto parsed = ParseRegFile(c.text);
    ASSERT_TRUE(parsed.error) << c.name;
    EXPECT_EQ(parsed.error->line, c.line) << c.name;
    EXPECT_NE(parsed.error->message.find(c.message), std::string::npos)
        << c.name << ": " << parsed.error->message;
  }
}

TEST(RegFile, ExportNamesTheKeyAsTheCallerDoes) {
  Hive hive = VarietyHive();
  const HiveKey* vox = hive.Find(Root(HKEY_CLASSES_ROOT), Names(u".vox"));
  ASSERT_NE(vox, nullptr);
  EXPECT_EQ(WriteKeyText(u"HKEY_CLASSES_ROOT\\.vox", *vox),
            "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\.vox]\n@=\"VoxFile\"\n\n");
}

}  // namespace
}  // namespace telvinor::registry
