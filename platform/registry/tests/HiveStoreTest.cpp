#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "registry/HiveStore.h"
#include "registry/RegFile.h"
#include "registry/WinReg.h"
#include "registry/tests/TempHive.h"

extern char** environ;

namespace telvinor::registry {
namespace {

using telvinor::testing::TempHive;

pid_t Spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0) << args[0];
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(HiveStore, ConcurrentWritersLoseNothing) {
  TempHive hive;
  constexpr int kCount = 60;
  // Two other processes and this one write into the same key at the same time.
  pid_t first = Spawn({TELVINOR_TEST_WRITER, "Software\\Race", "first", std::to_string(kCount)});
  pid_t second = Spawn({TELVINOR_TEST_WRITER, "Software\\Race", "second", std::to_string(kCount)});
  for (int i = 0; i < kCount; ++i) {
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, "", 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::string name = "here-" + std::to_string(i);
    BYTE b = static_cast<BYTE>(i);
    ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_BINARY, &b, 1), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  EXPECT_EQ(Wait(first), 0);
  EXPECT_EQ(Wait(second), 0);

  HiveStore fresh(hive.Path());  // reads the file as a new process would
  ASSERT_EQ(fresh.Read([&](const Hive& h) {
    const HiveKey* race =
        h.Find(*RootByHandle(HKEY_CURRENT_USER), SplitKeyPath(u"Software\\Race").names);
    ASSERT_NE(race, nullptr);
    EXPECT_EQ(race->Values().size(), 3u * kCount);
    for (const char* prefix : {"first-", "second-", "here-"}) {
      for (int i = 0; i < kCount; ++i) {
        std::string name = prefix + std::to_string(i);
        EXPECT_NE(race->Value(std::u16string(name.begin(), name.end())), nullptr) << name;
      }
    }
  }),
            StoreStatus::Ok);
}

TEST(HiveStore, SavesAtomicallyAndLeavesNoTemporaryFiles) {
  TempHive hive;
  HiveStore store(hive.Path());
  ASSERT_EQ(store.Write([](Hive& h) {
    bool created = false;
    h.Create(*RootByHandle(HKEY_CURRENT_USER), SplitKeyPath(u"A").names, created)
        ->SetValue(u"v", REG_DWORD, {1, 0, 0, 0});
    return WriteOutcome::Save;
  }),
            StoreStatus::Ok);
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(hive.Folder()))
    files.push_back(e.path().filename());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
  EXPECT_FALSE(ParseRegFile(hive.Text()).error);

  // A change thrown away is not kept in memory either.
  ASSERT_EQ(store.Write([](Hive& h) {
    h.Tree(HiveTree::CurrentUser).RemoveChild(u"A");
    return WriteOutcome::Abandon;
  }),
            StoreStatus::Ok);
  ASSERT_EQ(store.Read([](const Hive& h) {
    EXPECT_NE(h.Tree(HiveTree::CurrentUser).Child(u"a"), nullptr);
  }),
            StoreStatus::Ok);
}

TEST(HiveStore, DamagedOrUnreachableHivesFailWithAReason) {
  TempHive hive;
  hive.Replace("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"x\"=\n");
  HiveStore store(hive.Path());
  bool ran = false;
  EXPECT_EQ(store.Write([&](Hive&) {
    ran = true;
    return WriteOutcome::Save;
  }),
            StoreStatus::Damaged);
  EXPECT_FALSE(ran);
  EXPECT_EQ(store.LastError(),
            hive.Path() + ":3: expected a quoted text, dword:, hex: or hex(type):");

  HiveStore nowhere("/dev/null/telvinor/registry.reg");
  EXPECT_EQ(nowhere.Write([](Hive&) { return WriteOutcome::Save; }), StoreStatus::IoError);
  EXPECT_NE(nowhere.LastError().find("/dev/null/telvinor/registry.reg"), std::string::npos);
  EXPECT_EQ(nowhere.Read([](const Hive&) {}), StoreStatus::IoError);
}

TEST(HiveStore, PathComesFromTheEnvironment) {
  std::string saved = std::getenv("TELVINOR_REGISTRY") ? std::getenv("TELVINOR_REGISTRY") : "";
  std::string savedXdg = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  unsetenv("TELVINOR_REGISTRY");
  setenv("XDG_DATA_HOME", "/data/home", 1);
  EXPECT_EQ(HiveStore::ConfiguredPath(), "/data/home/telvinor/registry.reg");
  setenv("XDG_DATA_HOME", "", 1);
  setenv("HOME", std::getenv("HOME") ? std::getenv("HOME") : "/root", 1);
  EXPECT_EQ(HiveStore::ConfiguredPath(),
            std::string(std::getenv("HOME")) + "/.local/share/telvinor/registry.reg");
  setenv("TELVINOR_REGISTRY", "/x/hive.reg", 1);
  EXPECT_EQ(HiveStore::ConfiguredPath(), "/x/hive.reg");
  if (saved.empty())
    unsetenv("TELVINOR_REGISTRY");
  else
    setenv("TELVINOR_REGISTRY", saved.c_str(), 1);
  if (savedXdg.empty())
    unsetenv("XDG_DATA_HOME");
  else
    setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
}

}  // namespace
}  // namespace telvinor::registry
