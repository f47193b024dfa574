#include "registry/RegValue.h"

namespace telvinor::registry {

std::vector<BYTE> Utf16Data(std::u16string_view units) {
  std::vector<BYTE> data;
  data.reserve(units.size() * 2);
  for (char16_t u : units) {
    data.push_back(static_cast<BYTE>(u & 0xFF));
    data.push_back(static_cast<BYTE>(u >> 8));
  }
  return data;
}

std::u16string Utf16OfData(std::span<const BYTE> data) {
  std::u16string units;
  units.reserve(data.size() / 2);
  for (std::size_t i = 0; i + 1 < data.size(); i += 2)
    units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  return units;
}

RegValue TextValue(std::u16string name, DWORD type, std::u16string_view text) {
  std::u16string withTerminator(text);
  withTerminator.push_back(u'\0');
  return RegValue{std::move(name), type, Utf16Data(withTerminator)};
}

RegValue DwordValue(std::u16string name, DWORD value) {
  return RegValue{std::move(name),
                  REG_DWORD,
                  {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                   static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)}};
}

}  // namespace telvinor::registry
