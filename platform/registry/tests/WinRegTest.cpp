#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry/HiveStore.h"
#include "registry/WinReg.h"
#include "registry/tests/TempHive.h"
#include "text/AnsiText.h"

namespace telvinor::registry {
namespace {

using telvinor::testing::TempHive;

std::string Ansi(std::u16string_view text) {
  return text::ToAnsi(text);
}

HKEY Create(HKEY root, const char* path, REGSAM sam = KEY_ALL_ACCESS,
            DWORD* disposition = nullptr) {
  HKEY key = 0;
  EXPECT_EQ(
      RegCreateKeyExA(root, path, 0, "", REG_OPTION_NON_VOLATILE, sam, nullptr, &key, disposition),
      ERROR_SUCCESS)
      << path;
  return key;
}

LONG SetText(HKEY key, const char* name, std::string_view text, DWORD type = REG_SZ) {
  std::string data(text);
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1));
}

struct Queried {
  LONG status;
  DWORD type;
  std::vector<BYTE> data;
};

Queried Query(HKEY key, const char* name) {
  Queried q{0, 0, {}};
  DWORD size = 0;
  q.status = RegQueryValueExA(key, name, nullptr, &q.type, nullptr, &size);
  if (q.status != ERROR_SUCCESS) return q;
  q.data.resize(size);
  q.status = RegQueryValueExA(key, name, nullptr, &q.type, q.data.data(), &size);
  return q;
}

std::vector<BYTE> Bytes(std::string_view s, bool terminator = true) {
  std::vector<BYTE> b(s.begin(), s.end());
  if (terminator) b.push_back(0);
  return b;
}

TEST(WinReg, CreateOpenSetQueryWithWindowsStatuses) {
  TempHive hive;
  HKEY key = 0;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brenlow\\Ostrel\\Telvinor", 0,
                          KEY_QUERY_VALUE, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, 0u);
  DWORD disposition = 0;
  key = Create(HKEY_LOCAL_MACHINE, "Software\\Brenlow\\Ostrel\\Telvinor", KEY_ALL_ACCESS,
               &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(SetText(key, "BinPath", "D:\\agent"), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Software\\Brenlow\\Ostrel\\Telvinor", KEY_ALL_ACCESS,
                     &disposition));
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\BRENLOW\\ostrel\\telvinor\\", 0,
                          KEY_QUERY_VALUE, &key),
            ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "binpath", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 9u);
  BYTE small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "BinPath", nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(Query(key, "BinPath").data, Bytes("D:\\agent"));
  EXPECT_EQ(Query(key, "Missing").status, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  EXPECT_NE(
      hive.Text().find(
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brenlow\\Ostrel\\Telvinor]\n\"BinPath\"=\"D:\\\\agent\""),
      std::string::npos)
      << hive.Text();
}

TEST(WinReg, TextCrossesInTheCodePageAndIsKeptAsUnicode) {
  TempHive hive;
  HKEY key = Create(HKEY_CURRENT_USER, Ansi(u"Software\\坐席").c_str());
  std::string text = Ansi(u"你好");
  ASSERT_EQ(SetText(key, Ansi(u"名字").c_str(), text), ERROR_SUCCESS);
  Queried q = Query(key, Ansi(u"名字").c_str());
  EXPECT_EQ(q.data, Bytes(text));
  EXPECT_NE(hive.Text().find("[HKEY_CURRENT_USER\\Software\\坐席]\n\"名字\"=\"你好\""),
            std::string::npos)
      << hive.Text();

  // Sizes are in the bytes the ANSI calls hand out, so buffers of that size always fit.
  DWORD maxName = 0, maxData = 0, values = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                             &maxName, &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 1u);
  EXPECT_EQ(maxName, Ansi(u"名字").size());
  EXPECT_EQ(maxData, text.size() + 1);

  // A value written without its terminator is stored and returned without one.
  ASSERT_EQ(RegSetValueExA(key, "raw", 0, REG_SZ, reinterpret_cast<const BYTE*>("ab"), 2),
            ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "raw").data, Bytes("ab", false));
  RegCloseKey(key);
}

TEST(WinReg, EveryTypeNumberIsStoredAsGiven) {
  TempHive hive;
  HKEY key = Create(HKEY_CURRENT_USER, "Types");
  const std::vector<BYTE> data{1, 2, 3, 0, 5};
  for (DWORD type : {0u, 3u, 4u, 5u, 6u, 8u, 11u, 0x1234u, 0xFFFFFFFFu}) {
    std::string name = "t" + std::to_string(type);
    ASSERT_EQ(
        RegSetValueExA(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())),
        ERROR_SUCCESS);
  }
  // Across a reload from the file, as another process would see them.
  hive.Replace(hive.Text());
  for (DWORD type : {0u, 3u, 4u, 5u, 6u, 8u, 11u, 0x1234u, 0xFFFFFFFFu}) {
    Queried q = Query(key, ("t" + std::to_string(type)).c_str());
    EXPECT_EQ(q.status, ERROR_SUCCESS);
    EXPECT_EQ(q.type, type);
    EXPECT_EQ(q.data, data);
  }
  RegCloseKey(key);
}

TEST(WinReg, AccessMasksAreRespected) {
  TempHive hive;
  RegCloseKey(Create(HKEY_CURRENT_USER, "A\\B"));
  HKEY query = 0, set = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_QUERY_VALUE, &query), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_SET_VALUE, &set), ERROR_SUCCESS);
  EXPECT_EQ(SetText(query, "x", "1"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(query, "x"), ERROR_ACCESS_DENIED);
  char name[16];
  EXPECT_EQ(RegEnumKeyA(query, 0, name, sizeof name), ERROR_ACCESS_DENIED);
  HKEY sub = 0;
  EXPECT_EQ(RegCreateKeyExA(query, "New", 0, "", 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyExA(query, "B", 0, "", 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_SUCCESS)
      << "opening an existing subkey needs no create right";
  RegCloseKey(sub);
  EXPECT_EQ(SetText(set, "x", "1"), ERROR_SUCCESS);
  EXPECT_EQ(Query(set, "x").status, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Query(query, "x").status, ERROR_SUCCESS);
  HKEY read = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &read), ERROR_SUCCESS);
  EXPECT_EQ(RegEnumKeyA(read, 0, name, sizeof name), ERROR_SUCCESS);
  for (HKEY k : {query, set, read}) RegCloseKey(k);
  EXPECT_EQ(Query(0x1234, "x").status, ERROR_INVALID_HANDLE);
}

TEST(WinReg, DeleteKeyRefusesSubkeysAndRoots) {
  TempHive hive;
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Software\\Brenlow\\Child"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Brenlow"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "software\\brenlow\\child"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Brenlow\\Child"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Brenlow"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Software\\Other"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes"), ERROR_ACCESS_DENIED);

  HKEY key = Create(HKEY_CURRENT_USER, "Gone");
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Gone"), ERROR_SUCCESS);
  EXPECT_EQ(SetText(key, "x", "1"), ERROR_KEY_DELETED);
  EXPECT_EQ(Query(key, "x").status, ERROR_KEY_DELETED);
  RegCloseKey(key);

  key = Create(HKEY_CURRENT_USER, "Values");
  EXPECT_EQ(SetText(key, "x", "1"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "X"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "x"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST(WinReg, EnumerationOrderEndAndShortBuffers) {
  TempHive hive;
  HKEY key = Create(HKEY_CURRENT_USER, "Enum");
  for (const char* sub : {"beta", "Alpha", "_under", "Gamma"}) RegCloseKey(Create(key, sub));
  for (const char* v : {"Zulu", "alpha", "Mike"}) SetText(key, v, "1");
  SetText(key, "", "default");

  std::vector<std::string> keys;
  char name[64];
  DWORD i = 0;
  LONG status;
  while ((status = RegEnumKeyA(key, i++, name, sizeof name)) == ERROR_SUCCESS)
    keys.emplace_back(name);
  EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
  // By upper-cased name, as Windows orders subkeys: "_" (0x5F) after the letters.
  EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "beta", "Gamma", "_under"}));
  EXPECT_EQ(RegEnumKeyA(key, 0, name, 5), ERROR_MORE_DATA);

  std::vector<std::string> values;
  for (i = 0;; ++i) {
    DWORD length = sizeof name;
    status = RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) break;
    EXPECT_EQ(length, std::strlen(name));
    values.emplace_back(name);
  }
  EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(values, (std::vector<std::string>{"Zulu", "alpha", "Mike", ""}));
  DWORD length = 4;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  DWORD subkeys = 0, maxSubKey = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxSubKey, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 4u);
  EXPECT_EQ(maxSubKey, 6u);
  RegCloseKey(key);
}

TEST(WinReg, ClassesRootIsAViewOfTheMachinesClasses) {
  TempHive hive;
  HKEY key = Create(HKEY_CLASSES_ROOT, ".vox");
  SetText(key, "", "VoxFile");
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.VOX", 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "").data, Bytes("VoxFile"));
  SetText(key, "Content Type", "audio/x-vox");
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ".vox", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "Content Type").data, Bytes("audio/x-vox"));
  RegCloseKey(key);
  EXPECT_EQ(hive.Text().find("HKEY_CLASSES_ROOT"), std::string::npos)
      << "the view has no section of its own";
}

TEST(WinReg, MalformedPathsAndNames) {
  TempHive hive;
  HKEY key = 0;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\Lead", 0, "", 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "a\\\\b", 0, "", 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, std::string(256, 'k').c_str(), 0, "", 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExA(0, "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
  key = Create(HKEY_CURRENT_USER, "Names");
  EXPECT_EQ(SetText(key, "two\nlines", "x"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
  RegCloseKey(key);
}

TEST(WinReg, ADamagedHiveIsRefusedAndKept) {
  TempHive hive;
  const std::string damaged =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:zz\n";
  hive.Replace(damaged);
  HKEY key = 0;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &key), ERROR_BADDB);
  EXPECT_EQ(
      RegCreateKeyExA(HKEY_CURRENT_USER, "B", 0, "", 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_BADDB);
  EXPECT_EQ(HiveStore::Current().LastError(),
            hive.Path() + ":4: dword: must be followed by 1 to 8 hex digits");
  EXPECT_EQ(hive.Text(), damaged);

  // Mended by hand, the hive is used again at the next call.
  hive.Replace(
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000002\n");
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "x").data, (std::vector<BYTE>{2, 0, 0, 0}));
  RegCloseKey(key);
}

TEST(WinReg, AChangeByAnotherWriterIsSeenAtTheNextCall) {
  TempHive hive;
  HKEY key = Create(HKEY_CURRENT_USER, "Shared");
  SetText(key, "mine", "1");
  std::string text = hive.Text();
  text += "\"theirs\"=\"2\"\n";
  hive.Replace(text);
  EXPECT_EQ(Query(key, "theirs").data, Bytes("2"));
  SetText(key, "mine", "3");
  EXPECT_NE(hive.Text().find("\"theirs\"=\"2\""), std::string::npos)
      << "a write keeps the other writer's value";
  RegCloseKey(key);
}

}  // namespace
}  // namespace telvinor::registry
