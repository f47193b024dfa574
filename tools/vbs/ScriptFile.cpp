#include "ScriptFile.h"

#include <fstream>
#include <iterator>

#include "automation/Utf.h"
#include "text/AnsiText.h"

namespace telvinor::vbs {

std::u16string DecodeScript(std::string_view bytes) {
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xEF\xBB\xBF")) return automation::FromUtf8(bytes.substr(3));
  bool little = starts("\xFF\xFE"), big = starts("\xFE\xFF");
  if (little || big) {
    std::u16string out;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      auto lo = static_cast<unsigned char>(bytes[little ? i : i + 1]);
      auto hi = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
      out += static_cast<char16_t>(lo | (hi << 8));
    }
    return out;
  }
  return text::FromAnsi(bytes);
}

std::optional<std::u16string> ReadScriptFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return DecodeScript(bytes);
}

}  // namespace telvinor::vbs
