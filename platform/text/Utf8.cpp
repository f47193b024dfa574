#include "text/Utf8.h"

#include <cstdint>

namespace telvinor::text {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<std::uint8_t>(text[i]);
    char32_t c = 0xFFFD;
    std::size_t len = 1;
    if (b < 0x80) {
      c = b;
    } else {
      std::size_t need = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
      if (need && i + need <= text.size()) {
        char32_t v = b & (0xFF >> (need + 1));
        bool ok = true;
        for (std::size_t k = 1; k < need; ++k) {
          auto cb = static_cast<std::uint8_t>(text[i + k]);
          if ((cb & 0xC0) != 0x80) { ok = false; break; }
          v = (v << 6) | (cb & 0x3F);
        }
        // Reject overlong forms, surrogates and values past U+10FFFF.
        bool minimal = (need == 3 && v >= 0x800) || (need == 4 && v >= 0x10000) || need == 2;
        if (ok && minimal && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
          c = v;
          len = need;
        }
      }
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += len;
  }
  return out;
}

}  // namespace telvinor::text
