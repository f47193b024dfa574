#include "automation/Guid.h"

#include <cstdio>
#include <cstdlib>

namespace telvinor::automation {

std::optional<Guid> Guid::Parse(std::u16string_view text) {
  if (text.size() == 38 && text.front() == u'{' && text.back() == u'}') text = text.substr(1, 36);
  if (text.size() != 36) return std::nullopt;
  Guid g;
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != u'-') return std::nullopt;
      ++i;
      continue;
    }
    int value = 0;
    for (int k = 0; k < 2; ++k, ++i) {
      char16_t c = text[i];
      int d = c >= u'0' && c <= u'9' ? c - u'0'
            : c >= u'a' && c <= u'f' ? c - u'a' + 10
            : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
      if (d < 0) return std::nullopt;
      value = value * 16 + d;
    }
    g.bytes[out++] = static_cast<std::uint8_t>(value);
  }
  return g;
}

Guid Guid::FromString(std::string_view text) {
  std::u16string wide(text.begin(), text.end());
  auto g = Parse(wide);
  if (!g) std::abort();
  return *g;
}

std::u16string Guid::ToString() const {
  char buf[40];
  const auto& b = bytes;
  std::snprintf(buf, sizeof buf,
                "{%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x}", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return std::u16string(buf, buf + 38);
}

bool Guid::IsNull() const noexcept {
  for (auto b : bytes) {
    if (b) return false;
  }
  return true;
}

}  // namespace telvinor::automation
