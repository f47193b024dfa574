#pragma once
// A class, interface or type-library identity, written as COM writes it:
// "{9f928b90-6389-496c-8388-f77874253dab}". Compared and printed in lower case.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace telvinor::automation {

struct Guid {
  std::array<std::uint8_t, 16> bytes{};  // in the order the text shows them

  // Accepts the form with or without braces, any letter case.
  [[nodiscard]] static std::optional<Guid> Parse(std::u16string_view text);
  // For identities written in code; a malformed literal is a programming error (aborts).
  [[nodiscard]] static Guid FromString(std::string_view text);
  [[nodiscard]] std::u16string ToString() const;  // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
  [[nodiscard]] bool IsNull() const noexcept;

  friend bool operator==(const Guid&, const Guid&) = default;
};

}  // namespace telvinor::automation
