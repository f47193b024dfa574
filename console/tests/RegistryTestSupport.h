#pragma once
// Helpers for the settings class tests: the stored form of a value as the registry's ANSI
// calls return it, and the error an operation raises.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "automation/AutomationError.h"
#include "automation/SafeArray.h"
#include "registry/WinReg.h"
#include "text/AnsiText.h"

namespace telvinor::console::testing {

struct Stored {
  registry::DWORD type = 0;
  std::vector<registry::BYTE> data;
  friend bool operator==(const Stored&, const Stored&) = default;
};

inline std::optional<Stored> StoredValue(registry::HKEY root, std::u16string_view path,
                                         std::u16string_view name) {
  using namespace registry;
  HKEY key = 0;
  if (RegOpenKeyExA(root, text::ToAnsi(path).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return std::nullopt;
  Stored s;
  DWORD size = 0;
  std::string n = text::ToAnsi(name);
  LONG status = RegQueryValueExA(key, n.c_str(), nullptr, &s.type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    s.data.resize(size);
    status = RegQueryValueExA(key, n.c_str(), nullptr, &s.type, s.data.data(), &size);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return s;
}

inline std::vector<registry::BYTE> AnsiZ(std::u16string_view text) {
  std::string a = text::ToAnsi(text);
  std::vector<registry::BYTE> b(a.begin(), a.end());
  b.push_back(0);
  return b;
}

struct Raised {
  std::int32_t number = 0;
  std::u16string source, description;
};

inline std::optional<Raised> ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const automation::AutomationError& e) {
    return Raised{e.Number(), e.Source(), e.Description()};
  }
  return std::nullopt;
}

inline std::vector<std::u16string> Texts(const automation::Variant& array) {
  std::vector<std::u16string> out;
  for (const auto& e : array.AsArray().Elements()) out.emplace_back(e.AsString());
  return out;
}

}  // namespace telvinor::console::testing
