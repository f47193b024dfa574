#pragma once
// One registry value as the hive holds it: a name, a data type and the data bytes.
//
// Text is held as Unicode inside, as Windows holds it: the data of REG_SZ, REG_EXPAND_SZ and
// REG_MULTI_SZ values is UTF-16 little-endian, terminator included as the writer gave it. The
// ANSI calls convert at the edge (WinReg.h); every other type is stored byte for byte.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegTypes.h"

namespace telvinor::registry {

struct RegValue {
  std::u16string name;  // the empty name is the key's default value
  DWORD type = REG_NONE;
  std::vector<BYTE> data;

  friend bool operator==(const RegValue&, const RegValue&) = default;
};

// The types whose data is text, converted by the ANSI calls.
[[nodiscard]] constexpr bool IsTextType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// UTF-16 little-endian bytes of exactly these units (add the terminator to the text).
[[nodiscard]] std::vector<BYTE> Utf16Data(std::u16string_view units);
// The units of UTF-16 little-endian data; an odd final byte belongs to no unit and is left out.
[[nodiscard]] std::u16string Utf16OfData(std::span<const BYTE> data);

// A text value with its terminator, as Windows stores one written through the wide calls.
[[nodiscard]] RegValue TextValue(std::u16string name, DWORD type, std::u16string_view text);
[[nodiscard]] RegValue DwordValue(std::u16string name, DWORD value);

}  // namespace telvinor::registry
