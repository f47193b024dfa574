#include "RegCommand.h"

#include <array>
#include <cstdio>

#include "registry/KeyPath.h"

namespace telvinor::tools {
namespace {

using registry::BYTE;
using registry::DWORD;

struct TypeEntry {
  DWORD type;
  std::u16string_view name;
};
constexpr std::array kTypes{
    TypeEntry{registry::REG_NONE, u"REG_NONE"},
    TypeEntry{registry::REG_SZ, u"REG_SZ"},
    TypeEntry{registry::REG_EXPAND_SZ, u"REG_EXPAND_SZ"},
    TypeEntry{registry::REG_BINARY, u"REG_BINARY"},
    TypeEntry{registry::REG_DWORD, u"REG_DWORD"},
    TypeEntry{registry::REG_DWORD_BIG_ENDIAN, u"REG_DWORD_BIG_ENDIAN"},
    TypeEntry{registry::REG_LINK, u"REG_LINK"},
    TypeEntry{registry::REG_MULTI_SZ, u"REG_MULTI_SZ"},
    TypeEntry{8, u"REG_RESOURCE_LIST"},
    TypeEntry{9, u"REG_FULL_RESOURCE_DESCRIPTOR"},
    TypeEntry{10, u"REG_RESOURCE_REQUIREMENTS_LIST"},
    TypeEntry{registry::REG_QWORD, u"REG_QWORD"},
};
// The types reg add writes, as on Windows.
constexpr std::array kAddTypes{registry::REG_SZ,    registry::REG_EXPAND_SZ, registry::REG_MULTI_SZ,
                               registry::REG_DWORD, registry::REG_QWORD,     registry::REG_BINARY,
                               registry::REG_NONE};

std::u16string Ascii(const char* s) {
  std::u16string out;
  while (*s) out.push_back(static_cast<char16_t>(*s++));
  return out;
}

bool Same(std::u16string_view a, std::u16string_view b) {
  return registry::NameKey(a) == registry::NameKey(b);
}

// "/v" or "-v" with this option name, any case.
bool IsOption(std::u16string_view word, std::u16string_view name) {
  return word.size() == name.size() + 1 && (word[0] == u'/' || word[0] == u'-') &&
         Same(word.substr(1), name);
}

// One of reg's options. Any other word is an argument, so a file name may begin with "/".
bool IsAnyOption(std::u16string_view word) {
  for (auto name : {u"?", u"v", u"ve", u"va", u"s", u"t", u"d", u"f", u"y"}) {
    if (IsOption(word, name)) return true;
  }
  return false;
}

std::optional<std::uint64_t> Number(std::u16string_view text, std::uint64_t max) {
  if (text.empty()) return std::nullopt;
  unsigned base = 10;
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint64_t v = 0;
  for (char16_t c : text) {
    unsigned d = c >= u'0' && c <= u'9'                 ? c - u'0'
                 : base == 16 && c >= u'a' && c <= u'f' ? c - u'a' + 10
                 : base == 16 && c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                        : 99;
    if (d >= base || v > (max - d) / base) return std::nullopt;
    v = v * base + d;
  }
  return v;
}

void AppendLittleEndian(std::vector<BYTE>& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

std::u16string Hex(std::span<const BYTE> data) {
  std::u16string out;
  char buf[4];
  for (BYTE b : data) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    out += Ascii(buf);
  }
  return out;
}

// Text data up to its first NUL.
std::u16string Text(const registry::RegValue& v) {
  std::u16string text = registry::Utf16OfData(v.data);
  return text.substr(0, text.find(u'\0'));
}

}  // namespace

std::u16string TypeName(DWORD type) {
  for (const auto& t : kTypes) {
    if (t.type == type) return std::u16string(t.name);
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "REG_UNKNOWN(0x%X)", type);
  return Ascii(buf);
}

std::optional<DWORD> TypeByName(std::u16string_view name) {
  for (const auto& t : kTypes) {
    if (Same(t.name, name)) return t.type;
  }
  return std::nullopt;
}

RegParse ParseRegCommand(const std::vector<std::u16string>& words) {
  RegParse parse;
  if (words.empty()) return parse;
  struct OperationEntry {
    std::u16string_view name;
    RegOperation operation;
    std::size_t positional;
  };
  constexpr std::array kOperations{OperationEntry{u"QUERY", RegOperation::Query, 1},
                                   OperationEntry{u"ADD", RegOperation::Add, 1},
                                   OperationEntry{u"DELETE", RegOperation::Delete, 1},
                                   OperationEntry{u"EXPORT", RegOperation::Export, 2},
                                   OperationEntry{u"IMPORT", RegOperation::Import, 1}};
  const OperationEntry* op = nullptr;
  for (const auto& o : kOperations) {
    if (Same(o.name, words[0])) op = &o;
  }
  if (!op) return parse;
  parse.operationName = op->name;
  RegCommand c;
  c.operation = op->operation;
  std::vector<std::u16string> positional;
  std::vector<std::u16string> seen;
  const bool query = op->operation == RegOperation::Query, add = op->operation == RegOperation::Add,
             remove = op->operation == RegOperation::Delete,
             exporting = op->operation == RegOperation::Export;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::u16string& w = words[i];
    if (!IsAnyOption(w)) {
      positional.push_back(w);
      continue;
    }
    std::u16string name = registry::NameKey(w.substr(1));
    for (const auto& s : seen) {
      if (s == name) return parse;  // an option given twice
    }
    seen.push_back(name);
    auto next = [&](std::optional<std::u16string>& into) {
      if (i + 1 >= words.size()) return false;
      into = words[++i];
      return true;
    };
    if (IsOption(w, u"?")) {
      c.help = true;
    } else if (IsOption(w, u"v") && (query || add || remove)) {
      if (!next(c.value)) return parse;
    } else if (IsOption(w, u"ve") && (query || add || remove)) {
      c.value = u"";
    } else if (IsOption(w, u"va") && remove) {
      c.allValues = true;
    } else if (IsOption(w, u"s") && query) {
      c.recurse = true;
    } else if (IsOption(w, u"s") && add) {
      std::optional<std::u16string> separator;
      if (!next(separator) || separator->size() != 1) return parse;
      c.separator = *separator;
    } else if (IsOption(w, u"t") && add) {
      if (!next(c.type)) return parse;
    } else if (IsOption(w, u"d") && add) {
      if (!next(c.data)) return parse;
    } else if ((IsOption(w, u"f") && (add || remove)) || (IsOption(w, u"y") && exporting)) {
      c.force = true;
    } else {
      return parse;
    }
  }
  if (c.help) {
    parse.command = c;
    return parse;
  }
  // /v, /ve and /va exclude one another.
  int valueOptions = 0;
  for (const auto& s : seen) valueOptions += s == u"V" || s == u"VE" || s == u"VA";
  if (positional.size() != op->positional || valueOptions > 1) return parse;
  if (op->operation == RegOperation::Import) {
    c.file = positional[0];
  } else {
    c.key = positional[0];
    if (exporting) c.file = positional[1];
  }
  parse.command = c;
  return parse;
}

std::u16string QueryLine(const registry::RegValue& v) {
  std::u16string data;
  switch (v.type) {
    case registry::REG_SZ:
    case registry::REG_EXPAND_SZ:
      data = Text(v);
      break;
    case registry::REG_MULTI_SZ: {
      std::u16string units = registry::Utf16OfData(v.data);
      // Items separated by "\0", as reg writes them; the list's terminators are left out.
      while (!units.empty() && units.back() == u'\0') units.pop_back();
      for (char16_t c : units) {
        if (c == u'\0')
          data += u"\\0";
        else
          data.push_back(c);
      }
      break;
    }
    case registry::REG_DWORD:
    case registry::REG_DWORD_BIG_ENDIAN:
    case registry::REG_QWORD: {
      std::size_t size = v.type == registry::REG_QWORD ? 8 : 4;
      if (v.data.size() != size) {
        data = Hex(v.data);
        break;
      }
      std::uint64_t n = 0;
      for (std::size_t i = 0; i < size; ++i) {
        std::size_t at = v.type == registry::REG_DWORD_BIG_ENDIAN ? i : size - 1 - i;
        n = (n << 8) | v.data[at];
      }
      char buf[32];
      std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(n));
      data = Ascii(buf);
      break;
    }
    default:
      data = Hex(v.data);
  }
  return u"    " + (v.name.empty() ? std::u16string(u"(Default)") : v.name) + u"    " +
         TypeName(v.type) + u"    " + data;
}

std::optional<std::vector<BYTE>> AddData(DWORD type, std::u16string_view data,
                                         std::u16string_view separator) {
  bool writable = false;
  for (DWORD t : kAddTypes) writable = writable || t == type;
  if (!writable) return std::nullopt;
  std::vector<BYTE> out;
  switch (type) {
    case registry::REG_SZ:
    case registry::REG_EXPAND_SZ:
      return registry::TextValue(u"", type, data).data;
    case registry::REG_MULTI_SZ: {
      std::u16string units;
      std::u16string_view rest = data;
      while (!rest.empty()) {
        std::size_t at = rest.find(separator);
        units += rest.substr(0, at);
        units.push_back(u'\0');
        if (at == std::u16string_view::npos) break;
        rest.remove_prefix(at + separator.size());
        if (rest.empty()) units.push_back(u'\0');  // a separator at the end: an empty item
      }
      units.push_back(u'\0');
      return registry::Utf16Data(units);
    }
    case registry::REG_DWORD:
    case registry::REG_QWORD: {
      bool qword = type == registry::REG_QWORD;
      auto n = Number(data.empty() ? u"0" : data, qword ? UINT64_MAX : UINT32_MAX);
      if (!n) return std::nullopt;
      AppendLittleEndian(out, *n, qword ? 8 : 4);
      return out;
    }
    default: {  // REG_BINARY, REG_NONE: hex digits, two to a byte
      if (data.size() % 2) return std::nullopt;
      for (std::size_t i = 0; i < data.size(); i += 2) {
        auto byte = Number(u"0x" + std::u16string(data.substr(i, 2)), 0xFF);
        if (!byte) return std::nullopt;
        out.push_back(static_cast<BYTE>(*byte));
      }
      return out;
    }
  }
}

}  // namespace telvinor::tools
