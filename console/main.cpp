// Kelmora, the agent test console. The console window with the agent control comes later;
// for now the program shows the settings the console works with, read through cRegistry
// from the settings key, so an installation can check what the console would use.

#include <cstdio>
#include <cstring>

#include "automation/Conversions.h"
#include "automation/Utf.h"
#include "cRegistry.h"

namespace {

using telvinor::automation::ToUtf8;
using telvinor::console::cRegistry;

constexpr std::u16string_view kSettingsKey = u"Software\\Brenlow\\Ostrel\\Telvinor";
constexpr std::u16string_view kSettings[] = {u"AgentID", u"ConnectionString"};

void Usage() {
  std::printf(
      "usage: Kelmora [--settings]\n"
      "Shows the settings of the agent test console (AgentID, ConnectionString), read from\n"
      "HKEY_LOCAL_MACHINE\\%s in the registry hive (TELVINOR_REGISTRY).\n",
      ToUtf8(kSettingsKey).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--settings") != 0) {
      Usage();
      return std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 ? 0 : 2;
    }
  }
  std::printf("Kelmora settings (HKEY_LOCAL_MACHINE\\%s)\n", ToUtf8(kSettingsKey).c_str());
  for (auto name : kSettings) {
    // A fresh object for each read, as the console does.
    auto settings = telvinor::automation::MakeRef<cRegistry>();
    settings->SetClassKey(cRegistry::kLocalMachine);
    settings->SetSectionKey(std::u16string(kSettingsKey));
    settings->SetValueKey(std::u16string(name));
    settings->SetValueType(1);
    telvinor::automation::Variant value = settings->Value();
    std::printf(
        "  %-17s %s\n", ToUtf8(name).c_str(),
        value.IsEmpty() ? "(not set)" : ToUtf8(telvinor::automation::ToString(value)).c_str());
  }
  return 0;
}
