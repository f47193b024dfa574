#include "xmldom/XmlChars.h"

#include <algorithm>
#include <cctype>

#include "text/Utf8.h"

namespace telvinor::xmldom {
namespace {

constexpr char32_t kMalformed = 0xFFFFFFFF;

// The code point at text[at] and its length, or kMalformed (overlong forms, surrogates and
// values past U+10FFFF are malformed, RFC 3629 section 3).
char32_t Decode(std::string_view text, std::size_t at, std::size_t& length) noexcept {
  auto b0 = static_cast<unsigned char>(text[at]);
  if (b0 < 0x80) {
    length = 1;
    return b0;
  }
  std::size_t need;
  char32_t cp;
  char32_t minimum;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 2, cp = b0 & 0x1F, minimum = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 3, cp = b0 & 0x0F, minimum = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 4, cp = b0 & 0x07, minimum = 0x10000;
  } else {
    return kMalformed;
  }
  if (text.size() - at < need) return kMalformed;
  for (std::size_t k = 1; k < need; ++k) {
    auto b = static_cast<unsigned char>(text[at + k]);
    if ((b & 0xC0) != 0x80) return kMalformed;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kMalformed;
  length = need;
  return cp;
}

// Production [2] Char.
constexpr bool IsXmlChar(char32_t c) noexcept {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Production [4] NameStartChar.
constexpr bool IsNameStartChar(char32_t c) noexcept {
  return c == ':' || (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') ||
         (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
         (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0xEFFFF);
}

// Production [4a] NameChar.
constexpr bool IsNameChar(char32_t c) noexcept {
  return IsNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

constexpr bool IsSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}


// UTF-16 units of the UTF-8 text (malformed bytes count one each, as FromUtf8 turns each
// into U+FFFD).
std::size_t Utf16Length(std::string_view text) noexcept {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    auto [c, length] = DecodeUtf8At(text, i);
    units += c >= 0x10000 ? 2 : 1;
    i += length;
  }
  return units;
}

void AppendUtf16(std::u16string& out, std::string_view text, std::size_t maxUnits) {
  for (std::size_t i = 0; i < text.size() && out.size() < maxUnits;) {
    auto [c, length] = DecodeUtf8At(text, i);
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
}

}  // namespace

std::pair<char32_t, std::size_t> DecodeUtf8At(std::string_view text, std::size_t at) noexcept {
  std::size_t length = 1;
  char32_t c = Decode(text, at, length);
  if (c == kMalformed) return {0xFFFD, 1};
  return {c, length};
}

std::size_t FindInvalidXmlChar(std::string_view utf8) noexcept {
  std::size_t i = 0;
  while (i < utf8.size()) {
    auto b = static_cast<unsigned char>(utf8[i]);
    if (b >= 0x20 && b < 0x80) {  // the common case: printable ASCII
      ++i;
      continue;
    }
    std::size_t length = 1;
    char32_t c = Decode(utf8, i, length);
    if (c == kMalformed || !IsXmlChar(c)) return i;
    i += length;
  }
  return kNoFault;
}

bool IsXmlName(std::u16string_view name) noexcept {
  if (name.empty()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char32_t c = name[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
        name[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (name[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return false;
    }
    if (!(i == 0 ? IsNameStartChar(c) : IsNameChar(c))) return false;
  }
  return true;
}

bool IsXmlWhiteSpace(std::string_view text) noexcept {
  return std::all_of(text.begin(), text.end(), IsSpace);
}

TextPosition PositionOf(std::string_view utf8, std::size_t offset) {
  offset = std::min(offset, utf8.size());
  TextPosition at;
  std::string_view before = utf8.substr(0, offset);
  std::size_t lineStart = before.rfind('\n');
  lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
  at.line = static_cast<std::int32_t>(
      std::min<std::size_t>(std::count(before.begin(), before.end(), '\n') + 1, INT32_MAX));
  at.column = static_cast<std::int32_t>(
      std::min<std::size_t>(Utf16Length(before.substr(lineStart)) + 1, INT32_MAX));
  at.charOffset = static_cast<std::int32_t>(std::min<std::size_t>(Utf16Length(before), INT32_MAX));
  std::size_t lineEnd = utf8.find('\n', lineStart);
  std::string_view line = utf8.substr(
      lineStart, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - lineStart);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  AppendUtf16(at.lineText, line, kMaxLineText);
  return at;
}

UnescapeResult Unescape(std::string_view raw, std::string& out) {
  out.clear();
  out.reserve(raw.size());
  std::size_t i = 0;
  while (i < raw.size()) {
    std::size_t amp = raw.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(raw.substr(i));
      break;
    }
    out.append(raw.substr(i, amp - i));
    std::size_t p = amp + 1;
    if (p < raw.size() && raw[p] == '#') {
      // Character reference, production [66]: &#digits; or &#xhexdigits;
      ++p;
      int base = 10;
      if (p < raw.size() && raw[p] == 'x') {
        base = 16;
        ++p;
      }
      char32_t value = 0;
      std::size_t digits = 0;
      for (; p < raw.size(); ++p, ++digits) {
        char c = raw[p];
        int d = c >= '0' && c <= '9'                 ? c - '0'
                : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
        if (d < 0) break;
        value = value * base + d;
        if (value > 0x10FFFF) return {ReferenceFault::BadCharacterReference, amp, {}};
      }
      if (digits == 0 || p >= raw.size() || raw[p] != ';' || !IsXmlChar(value))
        return {ReferenceFault::BadCharacterReference, amp, {}};
      text::AppendUtf8(out, value);
      i = p + 1;
      continue;
    }
    // Entity reference, production [68]: a name, then ";". Only the predefined ones exist:
    // entities declared in a document type are not expanded (and so cannot multiply).
    std::size_t nameEnd = p;
    while (nameEnd < raw.size() && raw[nameEnd] != ';' && !IsSpace(raw[nameEnd]) &&
           raw[nameEnd] != '&' && nameEnd - p < 256)
      ++nameEnd;
    std::string_view name = raw.substr(p, nameEnd - p);
    if (nameEnd >= raw.size() || raw[nameEnd] != ';' || name.empty())
      return {ReferenceFault::UndefinedEntity, amp, name};
    static constexpr std::pair<std::string_view, char> kPredefined[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    auto known = std::find_if(std::begin(kPredefined), std::end(kPredefined),
                              [&](const auto& e) { return e.first == name; });
    if (known == std::end(kPredefined)) return {ReferenceFault::UndefinedEntity, amp, name};
    out += known->second;
    i = nameEnd + 1;
  }
  return {};
}

void AppendAttributeValue(std::string& out, std::string_view value) {
  for (char c : value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          // Tabs and line ends would become spaces when read back (attribute-value
          // normalisation, section 3.3.3); a reference keeps them.
          out += "&#";
          out += std::to_string(static_cast<int>(c));
          out += ';';
        } else {
          out += c;
        }
    }
  }
}

std::optional<std::vector<std::pair<std::string, std::string>>> ParsePseudoAttributes(
    std::string_view data) {
  std::vector<std::pair<std::string, std::string>> out;
  std::size_t i = 0;
  auto skipSpace = [&] {
    while (i < data.size() && IsSpace(data[i])) ++i;
  };
  skipSpace();
  while (i < data.size()) {
    std::size_t nameStart = i;
    while (i < data.size() && !IsSpace(data[i]) && data[i] != '=') ++i;
    std::string_view name = data.substr(nameStart, i - nameStart);
    // The pseudo-attributes (version, encoding, standalone) have ASCII names.
    bool asciiName =
        !name.empty() && std::isalpha(static_cast<unsigned char>(name[0])) &&
        std::all_of(name.begin(), name.end(), [](char c) {
          return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
        });
    if (!asciiName) return std::nullopt;
    skipSpace();
    if (i >= data.size() || data[i] != '=') return std::nullopt;
    ++i;
    skipSpace();
    if (i >= data.size() || (data[i] != '"' && data[i] != '\'')) return std::nullopt;
    char quote = data[i++];
    std::size_t close = data.find(quote, i);
    if (close == std::string_view::npos) return std::nullopt;
    out.emplace_back(std::string(name), std::string(data.substr(i, close - i)));
    i = close + 1;
    if (i < data.size() && !IsSpace(data[i])) return std::nullopt;
    skipSpace();
  }
  return out;
}

}  // namespace telvinor::xmldom
