#include <gtest/gtest.h>

#include <map>

#include "automation/Conversions.h"
#include "automation/SafeArray.h"
#include "cRegistry.h"
#include "registry/HiveStore.h"
#include "registry/tests/TempHive.h"
#include "tests/RegistryTestSupport.h"

namespace telvinor::console {
namespace {

using namespace telvinor::automation;
using namespace telvinor::console::testing;
using registry::HKEY_CLASSES_ROOT;
using registry::HKEY_LOCAL_MACHINE;
using telvinor::testing::TempHive;

// Every default value below HKEY_LOCAL_MACHINE\SOFTWARE\Classes, by key path.
std::map<std::u16string, std::u16string> ClassDefaults() {
  std::map<std::u16string, std::u16string> out;
  auto status = registry::HiveStore::Current().Read([&](const registry::Hive& hive) {
    std::function<void(const registry::HiveKey&, std::u16string)> walk =
        [&](const registry::HiveKey& k, std::u16string path) {
          for (const auto& v : k.Values()) {
            EXPECT_TRUE(v.name.empty()) << "only default values are written";
            std::u16string text = registry::Utf16OfData(v.data);
            text.pop_back();
            out[path] = text;
          }
          for (const auto& c : k.Children())
            walk(*c, path.empty() ? c->Name() : path + u"\\" + c->Name());
        };
    walk(*hive.Find(*registry::RootByHandle(HKEY_CLASSES_ROOT), {}), u"");
  });
  EXPECT_EQ(status, registry::StoreStatus::Ok);
  return out;
}

std::tuple<std::int32_t, std::u16string, std::u16string, std::int32_t> State(const cRegistry& r) {
  return {r.ClassKey(), r.SectionKey(), r.ValueKey(), r.ValueType()};
}

ExeAssociation Vox() {
  ExeAssociation a;
  a.sExePath = u"D:\\agent\\VoxPlayer.exe";
  a.sClassName = u"VoxFile";
  a.sClassDescription = u"语音文件";
  a.sAssociation = u"vox";
  return a;
}

TEST(FileAssociation, EveryOptionWritesElevenKeysInBothClassRoots) {
  TempHive hive;
  auto r = MakeRef<cRegistry>();
  ExeAssociation a = Vox();
  a.bSupportPrint = a.bSupportNew = a.bSupportInstall = true;
  a.sOpenMenuText = u"播放";
  a.lDefaultIconIndex = 0;
  r->CreateEXEAssociation(a);

  const std::u16string x = u"\"D:\\agent\\VoxPlayer.exe\"";
  const std::map<std::u16string, std::u16string> expected{
      {u".vox", u"VoxFile"},
      {u"VoxFile", u"语音文件"},
      {u"VoxFile\\shell\\open", u"播放"},
      {u"VoxFile\\shell\\open\\command", x + u" \"%1\""},
      {u"VoxFile\\shell\\print", u"&Print"},
      {u"VoxFile\\shell\\print\\command", x + u" /p \"%1\""},
      {u"VoxFile\\shell\\add", u"&Install vox"},
      {u"VoxFile\\shell\\add\\command", x + u" /a \"%1\""},
      {u"VoxFile\\shell\\new", u"&New"},
      {u"VoxFile\\shell\\new\\command", x + u" /n \"%1\""},
      {u"VoxFile\\DefaultIcon", x + u",0"},
  };
  EXPECT_EQ(ClassDefaults(), expected);
  // The 22 values: each of the eleven, read through either class root.
  int read = 0;
  for (const auto& [path, text] : expected) {
    for (auto [root, prefix] : {std::pair{HKEY_CLASSES_ROOT, u""},
                                std::pair{HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\"}}) {
      auto stored = StoredValue(root, std::u16string(prefix) + path, u"");
      ASSERT_TRUE(stored);
      EXPECT_EQ(*stored, (Stored{registry::REG_SZ, AnsiZ(text)}));
      ++read;
    }
  }
  EXPECT_EQ(read, 22);
  EXPECT_EQ(State(*r),
            std::make_tuple(cRegistry::kLocalMachine, std::u16string(u"VoxFile\\DefaultIcon"),
                            std::u16string(), 1));
}

TEST(FileAssociation, DefaultsAndTheSmallestAssociation) {
  TempHive hive;
  auto r = MakeRef<cRegistry>();
  // Through the member table, as a script would call it: only the four texts given.
  Variant args[] = {Variant(u"D:\\p.exe"), Variant(u"VoxFile"), Variant(u"Voice"), Variant(u"vox")};
  CallByName(*r, u"CreateEXEAssociation", InvokeKind::Method, args);
  EXPECT_EQ(ClassDefaults(), (std::map<std::u16string, std::u16string>{
                                 {u".vox", u"VoxFile"},
                                 {u"VoxFile", u"Voice"},
                                 {u"VoxFile\\shell\\open", u"&Open"},
                                 {u"VoxFile\\shell\\open\\command", u"\"D:\\p.exe\" \"%1\""}}));
  EXPECT_EQ(State(*r),
            std::make_tuple(cRegistry::kLocalMachine,
                            std::u16string(u"VoxFile\\shell\\open\\command"), std::u16string(), 1));
  // Empty menu texts fall back to the defaults.
  ExeAssociation a = Vox();
  a.sOpenMenuText = a.sPrintMenuText = a.sNewMenuText = u"";
  a.bSupportPrint = a.bSupportNew = a.bSupportInstall = true;
  r->CreateEXEAssociation(a);
  auto defaults = ClassDefaults();
  EXPECT_EQ(defaults[u"VoxFile\\shell\\open"], u"&Open");
  EXPECT_EQ(defaults[u"VoxFile\\shell\\print"], u"&Print");
  EXPECT_EQ(defaults[u"VoxFile\\shell\\new"], u"&New");
  EXPECT_EQ(defaults[u"VoxFile\\shell\\add"], u"&Install vox");
}

TEST(FileAssociation, ProgramPathIsQuotedOnce) {
  TempHive hive;
  struct Case {
    std::u16string path, quoted;
  };
  const Case cases[] = {
      {u"C:\\Program Files\\a.exe", u"\"C:\\Program Files\\a.exe\""},
      {u"  \"C:\\a.exe\"  ", u"\"C:\\a.exe\""},  // blanks trimmed, quotes already there
      {u"\"C:\\a.exe", u"\"C:\\a.exe\""},
      {u"C:\\a.exe\"", u"\"C:\\a.exe\""},
      {u"", u"\"\""},
      {u"\"", u"\"\""},  // a lone quote is not a quoted path
  };
  for (const auto& c : cases) {
    auto r = MakeRef<cRegistry>();
    ExeAssociation a = Vox();
    a.sExePath = c.path;
    a.lDefaultIconIndex = 3;
    r->CreateEXEAssociation(a);
    EXPECT_EQ(ClassDefaults()[u"VoxFile\\DefaultIcon"], c.quoted + u",3")
        << std::string(c.path.begin(), c.path.end());
  }
}

TEST(FileAssociation, ReferencesInThePathAreStoredForExpansion) {
  TempHive hive;
  auto r = MakeRef<cRegistry>();
  ExeAssociation a = Vox();
  a.sExePath = u"%TELVINOR_NOT_SET%\\VoxPlayer.exe";
  r->CreateEXEAssociation(a);
  EXPECT_EQ(StoredValue(HKEY_CLASSES_ROOT, u"VoxFile\\shell\\open\\command", u"")->type,
            registry::REG_EXPAND_SZ);
  EXPECT_EQ(StoredValue(HKEY_CLASSES_ROOT, u"VoxFile", u"")->type, registry::REG_SZ);
}

TEST(FileAssociation, AFailedWriteStopsTheAssociationAndKeepsWhatWasWritten) {
  TempHive hive;
  auto r = MakeRef<cRegistry>();
  ExeAssociation a = Vox();
  a.sClassName = u"\\Bad";  // no key can have this path
  auto error = ErrorOf([&] { r->CreateEXEAssociation(a); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number, 26001);
  EXPECT_EQ(error->source, u"Kelmora.cRegistry");
  EXPECT_EQ(error->description,
            u"Failed to set registry value Key: '-2147483648',Section: '\\Bad',Key: '' to value: "
            u"'语音文件'");
  EXPECT_EQ(r->ClassKey(), cRegistry::kClassesRoot)
      << "the failing write was the one to the classes root";
  EXPECT_EQ(ClassDefaults(), (std::map<std::u16string, std::u16string>{{u".vox", u"\\Bad"}}));
}

TEST(FileAssociation, AdditionalVerbs) {
  TempHive hive;
  auto r = MakeRef<cRegistry>();
  r->CreateEXEAssociation(Vox());
  const auto associated = ClassDefaults();

  // Right after CreateEXEAssociation the object's root is HKEY_LOCAL_MACHINE, where no
  // "VoxFile" key exists: the class is reported missing.
  Variant play[] = {Variant(u"VoxFile"), Variant(u"play"), Variant(u"&Play"),
                    Variant(u"\"D:\\p.exe\" /play \"%1\"")};
  auto error = ErrorOf(
      [&] { CallByName(*r, u"CreateAdditionalEXEAssociations", InvokeKind::Method, play); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number, static_cast<std::int32_t>(0x800469adu));
  EXPECT_EQ(error->source, u"Kelmora.cRegistry");
  EXPECT_EQ(error->description,
            u"Error - attempt to create additional associations before class defined.");
  EXPECT_EQ(ClassDefaults(), associated);

  Variant two[] = {Variant(u"VoxFile"), Variant(u"play"), Variant(u"&Play")};
  error =
      ErrorOf([&] { CallByName(*r, u"CreateAdditionalEXEAssociations", InvokeKind::Method, two); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number, static_cast<std::int32_t>(0x800469acu));
  EXPECT_EQ(error->description,
            u"Invalid parameter list passed to CreateAdditionalEXEAssociations - expected "
            u"Name/Text/Command");

  r->SetClassKey(cRegistry::kClassesRoot);
  Variant none[] = {Variant(u"VoxFile")};
  CallByName(*r, u"CreateAdditionalEXEAssociations", InvokeKind::Method, none);
  EXPECT_EQ(ClassDefaults(), associated) << "an empty list writes nothing";

  // Two verbs; the text of the first is Null, which cannot be written: that write is skipped
  // and the rest goes on.
  Variant verbs[] = {Variant(u"VoxFile"),
                     Variant(u"play"),
                     Variant::Null(),
                     Variant(u"p.exe /play \"%1\""),
                     Variant(u"edit"),
                     Variant(u"&Edit"),
                     Variant(u"p.exe /edit \"%1\"")};
  CallByName(*r, u"CreateAdditionalEXEAssociations", InvokeKind::Method, verbs);
  auto after = ClassDefaults();
  EXPECT_EQ(after.count(u"VoxFile\\shell\\play"), 0u);
  EXPECT_EQ(after[u"VoxFile\\shell\\play\\command"], u"p.exe /play \"%1\"");
  EXPECT_EQ(after[u"VoxFile\\shell\\edit"], u"&Edit");
  EXPECT_EQ(after[u"VoxFile\\shell\\edit\\command"], u"p.exe /edit \"%1\"");
  EXPECT_EQ(
      StoredValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\VoxFile\\shell\\edit\\command", u"")
          ->data,
      AnsiZ(u"p.exe /edit \"%1\""));
  EXPECT_EQ(State(*r),
            std::make_tuple(cRegistry::kLocalMachine,
                            std::u16string(u"VoxFile\\shell\\edit\\command"), std::u16string(), 1));
}

}  // namespace
}  // namespace telvinor::console
