#pragma once
// The three settings the interpreter reads at Load, from the installation's settings key
// through the settings class cRegistry.

#include <string>
#include <string_view>

namespace telvinor::interpreter {

inline constexpr std::u16string_view kSettingsKey = u"Software\\Brenlow\\Ostrel\\Telvinor";

struct InterpreterSettings {
  std::u16string binPath;       // "BinPath": the script directory
  std::u16string agentRunPath;  // "AgentRunPath": the state document
  std::u16string statePath;     // "StatePath": for the scripts; the interpreter only shows it
};

// Reads the settings below HKEY_LOCAL_MACHINE. A missing value, or one that is not text and
// does not convert to text (byte data), gives the empty text; reading never raises.
[[nodiscard]] InterpreterSettings ReadInterpreterSettings();

}  // namespace telvinor::interpreter
