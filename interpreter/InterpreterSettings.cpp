#include "InterpreterSettings.h"

#include "automation/Conversions.h"
#include "cRegistry.h"

namespace telvinor::interpreter {

namespace {

constexpr std::int32_t kRegSz = 1;

std::u16string ReadText(console::cRegistry& registry, std::u16string_view name,
                        std::int32_t valueType) {
  registry.SetValueKey(std::u16string(name));
  if (valueType) registry.SetValueType(valueType);
  try {
    return automation::ToString(registry.Value());
  } catch (const automation::AutomationError&) {
    return {};  // byte data has no text form; it counts as missing
  }
}

}  // namespace

InterpreterSettings ReadInterpreterSettings() {
  auto registry = automation::MakeRef<console::cRegistry>();
  registry->SetClassKey(console::cRegistry::kLocalMachine);
  registry->SetSectionKey(std::u16string(kSettingsKey));
  InterpreterSettings settings;
  settings.binPath = ReadText(*registry, u"BinPath", kRegSz);
  settings.agentRunPath = ReadText(*registry, u"AgentRunPath", kRegSz);
  settings.statePath = ReadText(*registry, u"StatePath", 0);
  return settings;
}

}  // namespace telvinor::interpreter
