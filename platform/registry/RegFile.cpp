#include "registry/RegFile.h"

#include <algorithm>
#include <cstdio>

#include "text/Utf8.h"

namespace telvinor::registry {
namespace {

constexpr std::u16string_view kDwordPrefix = u"dword:";
constexpr std::u16string_view kHexPrefix = u"hex";
// Long hex lists are wrapped so that no line passes this column, as the registry editor does.
constexpr std::size_t kWrapColumn = 77;

struct Decoded {
  std::u16string text;
  std::optional<RegFileError> error;
};

std::size_t LineOfByte(std::string_view bytes, std::size_t offset) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < offset && i < bytes.size(); ++i) line += bytes[i] == '\n';
  return line;
}

// Strict UTF-8: a hive with broken text is reported, not silently altered.
Decoded DecodeUtf8(std::string_view bytes) {
  Decoded d;
  d.text.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      d.text.push_back(b);
      ++i;
      continue;
    }
    std::size_t need = (b >= 0xC2 && b <= 0xDF)   ? 2
                       : (b >= 0xE0 && b <= 0xEF) ? 3
                       : (b >= 0xF0 && b <= 0xF4) ? 4
                                                  : 0;
    char32_t c = need ? (b & (0x7F >> need)) : 0;
    bool ok = need && i + need <= bytes.size();
    for (std::size_t k = 1; ok && k < need; ++k) {
      auto cb = static_cast<unsigned char>(bytes[i + k]);
      ok = (cb & 0xC0) == 0x80;
      c = (c << 6) | (cb & 0x3F);
    }
    ok = ok && !(need == 3 && c < 0x800) && !(need == 4 && (c < 0x10000 || c > 0x10FFFF)) &&
         !(c >= 0xD800 && c <= 0xDFFF);
    if (!ok) {
      d.error = RegFileError{LineOfByte(bytes, i), "the text is not valid UTF-8"};
      return d;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      d.text.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      d.text.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      d.text.push_back(static_cast<char16_t>(c));
    }
    i += need;
  }
  return d;
}

Decoded DecodeUtf16Le(std::string_view bytes) {
  Decoded d;
  std::size_t line = 1;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto u = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   (static_cast<unsigned char>(bytes[i + 1]) << 8));
    bool high = u >= 0xD800 && u <= 0xDBFF, low = u >= 0xDC00 && u <= 0xDFFF;
    bool paired =
        high && i + 3 < bytes.size() && (static_cast<unsigned char>(bytes[i + 3]) & 0xFC) == 0xDC;
    if ((high && !paired) ||
        (low && (d.text.empty() || d.text.back() < 0xD800 || d.text.back() > 0xDBFF))) {
      d.error = RegFileError{line, "the text is not valid UTF-16"};
      return d;
    }
    line += u == u'\n';
    d.text.push_back(u);
  }
  if (bytes.size() % 2) d.error = RegFileError{line, "the text ends in half a UTF-16 character"};
  return d;
}

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t a = s[i], b = prefix[i];
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a + 32);
    if (a != b) return false;
  }
  return true;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// 1 to `maxDigits` hex digits, the whole text.
std::optional<std::uint32_t> ParseHex(std::u16string_view s, std::size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return std::nullopt;
  std::uint32_t v = 0;
  for (char16_t c : s) {
    int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<std::uint32_t>(d);
  }
  return v;
}

class Parser {
 public:
  explicit Parser(std::u16string_view text) : text_(text) {}

  RegFileParseResult Run() {
    std::u16string_view line;
    bool header = false;
    while (NextLine(line)) {
      std::u16string_view t = Trim(line);
      if (!header) {
        if (t.empty()) continue;
        if (t != kRegFileHeader)
          return Fail("the first line must be \"Windows Registry Editor Version 5.00\"");
        header = true;
        continue;
      }
      if (t.empty() || t.front() == u';') continue;
      if (t.front() == u'[') {
        if (!Section(t)) return std::move(result_);
      } else if (t.front() == u'"' || t.front() == u'@') {
        if (result_.file.sections.empty()) return Fail("a value must follow a [key] line");
        if (!Value(t)) return std::move(result_);
      } else {
        return Fail("expected a [key] line, a value line or a ; comment");
      }
    }
    if (!header) return Fail("the first line must be \"Windows Registry Editor Version 5.00\"");
    return std::move(result_);
  }

 private:
  bool NextLine(std::u16string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find(u'\n', pos_);
    if (end == std::u16string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++lineNo_;
    return true;
  }

  RegFileParseResult Fail(std::string message) {
    result_.error = RegFileError{std::max<std::size_t>(lineNo_, 1), std::move(message)};
    return std::move(result_);
  }
  bool Error(std::string message) {
    result_.error = RegFileError{lineNo_, std::move(message)};
    return false;
  }

  bool Section(std::u16string_view t) {
    if (t.back() != u']') return Error("a [key] line must end with \"]\"");
    std::u16string_view inner = t.substr(1, t.size() - 2);
    RegFileSection section;
    section.line = lineNo_;
    if (!inner.empty() && inner.front() == u'-') {
      section.remove = true;
      inner.remove_prefix(1);
    }
    auto path = ParseFullKeyPath(inner);
    if (!path)
      return Error(
          "not a key path below HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS or "
          "HKEY_CLASSES_ROOT");
    section.root = path->root;
    section.names = std::move(path->names);
    result_.file.sections.push_back(std::move(section));
    return true;
  }

  // A quoted string starting at s[0] == '"'; `end` is set just past the closing quote.
  bool Quoted(std::u16string_view s, std::u16string& out, std::size_t& end) {
    for (std::size_t i = 1; i < s.size(); ++i) {
      char16_t c = s[i];
      if (c == u'"') {
        end = i + 1;
        return true;
      }
      if (c == u'\\') {
        if (i + 1 >= s.size() || (s[i + 1] != u'\\' && s[i + 1] != u'"'))
          return Error("inside quotes a backslash must be written \\\\ and a quote \\\"");
        c = s[++i];
      }
      out.push_back(c);
    }
    return Error("a quoted text has no closing quote");
  }

  bool Value(std::u16string_view t) {
    RegFileEntry entry;
    entry.line = lineNo_;
    std::size_t at = 1;
    if (t.front() == u'"') {
      if (!Quoted(t, entry.value.name, at)) return false;
      if (entry.value.name.size() > kMaxValueNameLength)
        return Error("the value name is longer than 16383 characters");
    }
    std::u16string_view rest = Trim(t.substr(at));
    if (rest.empty() || rest.front() != u'=') return Error("expected \"=\" after the value name");
    rest = Trim(rest.substr(1));
    if (rest == u"-") {
      entry.remove = true;
    } else if (!rest.empty() && rest.front() == u'"') {
      std::u16string text;
      std::size_t end = 0;
      if (!Quoted(rest, text, end)) return false;
      if (!Trim(rest.substr(end)).empty()) return Error("unexpected text after the closing quote");
      entry.value = TextValue(std::move(entry.value.name), REG_SZ, text);
    } else if (StartsWithNoCase(rest, kDwordPrefix)) {
      auto v = ParseHex(rest.substr(kDwordPrefix.size()), 8);
      if (!v) return Error("dword: must be followed by 1 to 8 hex digits");
      entry.value = DwordValue(std::move(entry.value.name), *v);
    } else if (StartsWithNoCase(rest, kHexPrefix)) {
      if (!Hex(rest.substr(kHexPrefix.size()), entry.value)) return false;
    } else {
      return Error("expected a quoted text, dword:, hex: or hex(type):");
    }
    result_.file.sections.back().entries.push_back(std::move(entry));
    return true;
  }

  // After "hex": ":" or "(type):", then a comma-separated byte list that may go on over
  // lines ending in a backslash.
  bool Hex(std::u16string_view s, RegValue& value) {
    value.type = REG_BINARY;
    if (!s.empty() && s.front() == u'(') {
      std::size_t close = s.find(u')');
      auto type =
          close == std::u16string_view::npos ? std::nullopt : ParseHex(s.substr(1, close - 1), 8);
      if (!type)
        return Error("hex( must be followed by a type number of 1 to 8 hex digits and \")\"");
      value.type = *type;
      s.remove_prefix(close + 1);
    }
    if (s.empty() || s.front() != u':') return Error("expected \":\" after hex or hex(type)");
    std::u16string list(s.substr(1));
    while (true) {
      std::u16string_view trimmed = Trim(list);
      if (trimmed.empty() || trimmed.back() != u'\\') break;
      list.assign(trimmed.substr(0, trimmed.size() - 1));
      std::u16string_view next;
      if (!NextLine(next)) return Error("the hex list goes on past the end of the file");
      list += Trim(next);
    }
    // Items between commas; one comma may close the list (before a line break it always does).
    std::u16string_view l = Trim(list);
    if (!l.empty() && l.back() == u',') l.remove_suffix(1);
    while (!Trim(list).empty()) {
      std::size_t comma = l.find(u',');
      auto byte = ParseHex(Trim(l.substr(0, comma)), 2);
      if (!byte) return Error("the hex list must hold bytes of two hex digits separated by commas");
      value.data.push_back(static_cast<BYTE>(*byte));
      if (comma == std::u16string_view::npos) break;
      l.remove_prefix(comma + 1);
    }
    return true;
  }

  std::u16string_view text_;
  std::size_t pos_ = 0;
  std::size_t lineNo_ = 0;
  RegFileParseResult result_;
};

std::u16string Quote(std::u16string_view s) {
  std::u16string out = u"\"";
  for (char16_t c : s) {
    if (c == u'\\' || c == u'"') out.push_back(u'\\');
    out.push_back(c);
  }
  out.push_back(u'"');
  return out;
}

// Text that a quoted string carries exactly: one terminator at the end, no other NUL, no
// line break, no half of a surrogate pair.
std::optional<std::u16string> QuotableText(const RegValue& v) {
  if (v.data.size() < 2 || v.data.size() % 2) return std::nullopt;
  std::u16string units = Utf16OfData(v.data);
  if (units.back() != u'\0') return std::nullopt;
  units.pop_back();
  for (std::size_t i = 0; i < units.size(); ++i) {
    char16_t c = units[i];
    if (c == u'\0' || c == u'\r' || c == u'\n') return std::nullopt;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
        return std::nullopt;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return std::nullopt;
    }
  }
  return units;
}

std::u16string Ascii(const char* s) {
  return std::u16string(s, s + std::char_traits<char>::length(s));
}

void WriteKey(std::u16string& out, const std::u16string& path, const HiveKey& key,
              bool sectionEvenIfEmpty) {
  if (sectionEvenIfEmpty || !key.Values().empty()) {
    out += u"[" + path + u"]\n";
    for (const auto& v : key.Values()) out += ValueLine(v) + u"\n";
    out += u"\n";
  }
  for (const auto& child : key.Children())
    WriteKey(out, path + u"\\" + child->Name(), *child, true);
}

std::u16string HeaderText() {
  return std::u16string(kRegFileHeader) + u"\n\n";
}

}  // namespace

RegFileParseResult ParseRegFile(std::string_view bytes) {
  Decoded decoded;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    decoded = DecodeUtf16Le(bytes.substr(2));
  } else {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    decoded = DecodeUtf8(bytes);
  }
  if (decoded.error) {
    RegFileParseResult r;
    r.error = decoded.error;
    return r;
  }
  return Parser(decoded.text).Run();
}

std::optional<RegFileError> ApplyRegFile(const RegFile& file, Hive& hive) {
  for (const auto& section : file.sections) {
    if (section.remove) {
      if (hive.Delete(*section.root, section.names, DeleteMode::Tree) == DeleteResult::Protected)
        return RegFileError{
            section.line,
            "a root key, and HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes, cannot be deleted"};
      continue;
    }
    bool created = false;
    HiveKey* key = hive.Create(*section.root, section.names, created);
    if (!key) return RegFileError{section.line, "the key lies more than 512 levels deep"};
    for (const auto& e : section.entries) {
      if (e.remove) {
        key->RemoveValue(e.value.name);
      } else {
        key->SetValue(e.value.name, e.value.type, e.value.data);
      }
    }
  }
  return std::nullopt;
}

std::u16string ValueLine(const RegValue& v) {
  std::u16string line = v.name.empty() ? u"@=" : Quote(v.name) + u"=";
  if (v.type == REG_SZ) {
    if (auto text = QuotableText(v)) return line + Quote(*text);
  }
  if (v.type == REG_DWORD && v.data.size() == 4) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x",
                  static_cast<unsigned>(v.data[0] | (v.data[1] << 8) | (v.data[2] << 16)) |
                      (static_cast<unsigned>(v.data[3]) << 24));
    return line + Ascii(buf);
  }
  char buf[32];
  if (v.type == REG_BINARY) {
    line += u"hex:";
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
    line += Ascii(buf);
  }
  std::size_t column = line.size();
  for (std::size_t i = 0; i < v.data.size(); ++i) {
    std::snprintf(buf, sizeof buf, i + 1 < v.data.size() ? "%02x," : "%02x", v.data[i]);
    std::u16string item = Ascii(buf);
    if (column + item.size() > kWrapColumn) {
      line += u"\\\n  ";
      column = 2;
    }
    line += item;
    column += item.size();
  }
  return line;
}

std::string WriteHiveText(const Hive& hive) {
  std::u16string out = HeaderText();
  for (std::size_t i = 0; i < kHiveTreeCount; ++i) {
    const auto tree = static_cast<HiveTree>(i);
    WriteKey(out, std::u16string(RootOfTree(tree).name), hive.Tree(tree), false);
  }
  return text::ToUtf8(out);
}

std::string WriteKeyText(std::u16string_view path, const HiveKey& key) {
  std::u16string out = HeaderText();
  WriteKey(out, std::u16string(path), key, true);
  return text::ToUtf8(out);
}


}  // namespace telvinor::registry
