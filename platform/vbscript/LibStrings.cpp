// String functions: Len, Left, Right, Mid, InStr, InStrRev, Replace, Split, Join, Filter,
// UCase, LCase, Trim, LTrim, RTrim, Space, String, StrComp, StrReverse, Chr, ChrW, Asc, AscW,
// Hex, Oct, Escape, Unescape. Lengths and positions count UTF-16 units, as VB's do; Chr and Asc
// use the ANSI code page (platform/text), ChrW and AscW the UTF-16 code.

#include <algorithm>
#include <array>
#include <string>

#include "automation/Conversions.h"
#include "automation/SafeArray.h"
#include "text/AnsiText.h"
#include "vbscript/Builtins.h"
#include "vbscript/ScriptError.h"
#include "vbscript/VariantOps.h"

namespace telvinor::vbscript {
namespace {

using automation::BString;
using automation::SafeArray;
using automation::VarType;
using namespace lib;

// One-character strings are made once and shared: Mid(s, i, 1), Chr(n) and Left(s, 1) in a
// loop then allocate nothing.
const BString& OneChar(char16_t c) {
  static const std::array<BString, 256> small = [] {
    std::array<BString, 256> a;
    for (std::size_t i = 0; i < a.size(); ++i) {
      char16_t ch = static_cast<char16_t>(i);
      a[i] = BString(std::u16string_view(&ch, 1));
    }
    return a;
  }();
  if (c < 256) return small[c];
  thread_local BString other;
  other = BString(std::u16string_view(&c, 1));
  return other;
}

Variant Text(std::u16string_view s) {
  if (s.size() == 1 && s[0] < 256) return Variant(OneChar(s[0]));
  return Variant(BString(s));
}

CompareMode ModeArg(std::span<Variant> a, std::size_t i) {
  if (!Given(a, i)) return CompareMode::Binary;
  if (a[i].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  std::int32_t m = automation::ToLong(a[i]);
  if (m < 0 || m > 2) ThrowRuntime(err::kInvalidProcedureCall);
  return m == 1 ? CompareMode::Text : CompareMode::Binary;
}

// Position of `what` in `s` at or after `from` (0-based), or npos.
std::size_t Find(std::u16string_view s, std::u16string_view what, std::size_t from,
                 CompareMode mode) {
  if (mode == CompareMode::Binary) return s.find(what, from);
  if (what.size() > s.size()) return std::u16string_view::npos;
  for (std::size_t i = from; i + what.size() <= s.size(); ++i) {
    if (CompareText(s.substr(i, what.size()), what, CompareMode::Text) == 0) return i;
  }
  return std::u16string_view::npos;
}

Variant Len(CallContext&, std::span<Variant> a) {
  Variant v = Value(a[0]);
  if (v.IsNull()) return v;
  if (v.IsString()) return Variant(static_cast<std::int32_t>(v.AsString().size()));
  return Variant(static_cast<std::int32_t>(automation::ToBString(v).size()));
}

Variant Left(CallContext&, std::span<Variant> a) {
  std::int32_t n = CountArg(a[1]);
  if (a[0].IsNull()) return Variant::Null();
  BString s = TextArg(a[0]);
  if (static_cast<std::size_t>(n) >= s.size()) return Variant(s);
  return Text(s.view().substr(0, static_cast<std::size_t>(n)));
}

Variant Right(CallContext&, std::span<Variant> a) {
  std::int32_t n = CountArg(a[1]);
  if (a[0].IsNull()) return Variant::Null();
  BString s = TextArg(a[0]);
  if (static_cast<std::size_t>(n) >= s.size()) return Variant(s);
  return Text(s.view().substr(s.size() - static_cast<std::size_t>(n)));
}

Variant Mid(CallContext&, std::span<Variant> a) {
  if (a[1].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  std::int32_t start = automation::ToLong(a[1]);
  if (start < 1) ThrowRuntime(err::kInvalidProcedureCall);
  std::int32_t length = Given(a, 2) ? CountArg(a[2]) : -1;
  if (a[0].IsNull()) return Variant::Null();
  BString s = TextArg(a[0]);
  auto from = static_cast<std::size_t>(start - 1);
  if (from >= s.size()) return Variant(BString());
  std::size_t n = length < 0 ? s.size() - from : static_cast<std::size_t>(length);
  if (from == 0 && n >= s.size()) return Variant(s);
  return Text(s.view().substr(from, n));
}

Variant InStr(CallContext&, std::span<Variant> a) {
  std::size_t first = 0;
  std::int32_t start = 1;
  if (a.size() >= 3) {
    if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
    start = automation::ToLong(a[0]);
    if (start < 1) ThrowRuntime(err::kInvalidProcedureCall);
    first = 1;
  }
  CompareMode mode = a.size() == 4 ? ModeArg(a, 3) : CompareMode::Binary;
  if (a[first].IsNull() || a[first + 1].IsNull()) return Variant::Null();
  BString s = TextArg(a[first]);
  BString what = TextArg(a[first + 1]);
  auto from = static_cast<std::size_t>(start - 1);
  if (from > s.size()) return Variant(std::int32_t{0});
  if (what.empty()) return Variant(start);
  std::size_t at = Find(s, what, from, mode);
  return Variant(at == std::u16string_view::npos ? 0 : static_cast<std::int32_t>(at + 1));
}

Variant InStrRev(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull() || a[1].IsNull()) return Variant::Null();
  BString s = TextArg(a[0]);
  BString what = TextArg(a[1]);
  std::int32_t start = LongArg(a, 2, -1);
  if (start == 0 || start < -1) ThrowRuntime(err::kInvalidProcedureCall);
  CompareMode mode = ModeArg(a, 3);
  if (start == -1) start = static_cast<std::int32_t>(s.size());
  if (static_cast<std::size_t>(start) > s.size()) return Variant(std::int32_t{0});
  if (what.empty()) return Variant(start);
  auto end = static_cast<std::size_t>(start);  // the match must end at or before `start`
  if (what.size() > end) return Variant(std::int32_t{0});
  for (std::size_t i = end - what.size() + 1; i-- > 0;) {
    if (CompareText(s.view().substr(i, what.size()), what, mode) == 0)
      return Variant(static_cast<std::int32_t>(i + 1));
  }
  return Variant(std::int32_t{0});
}

Variant Replace(CallContext&, std::span<Variant> a) {
  if (AnyNull(a, 3)) return Variant::Null();
  BString s = TextArg(a[0]);
  BString what = TextArg(a[1]);
  BString with = TextArg(a[2]);
  std::int32_t start = LongArg(a, 3, 1);
  std::int32_t count = LongArg(a, 4, -1);
  if (start < 1 || count < -1) ThrowRuntime(err::kInvalidProcedureCall);
  CompareMode mode = ModeArg(a, 5);
  auto from = static_cast<std::size_t>(start - 1);
  if (from > s.size()) return Variant(BString());
  // The result begins at `start`: what went before it is dropped, as VB does.
  std::u16string_view rest = s.view().substr(from);
  if (what.empty() || count == 0) return Text(rest);
  std::u16string out;
  std::size_t pos = 0;
  std::int32_t done = 0;
  while (count < 0 || done < count) {
    std::size_t at = Find(rest, what, pos, mode);
    if (at == std::u16string_view::npos) break;
    out.append(rest.substr(pos, at - pos));
    out.append(with.view());
    pos = at + what.size();
    ++done;
  }
  out.append(rest.substr(pos));
  return Variant(BString(out));
}

Variant Split(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  BString s = TextArg(a[0]);
  BString delimiter = Given(a, 1) ? TextArg(a[1]) : BString(u" ");
  std::int32_t limit = LongArg(a, 2, -1);
  if (limit < -1) ThrowRuntime(err::kInvalidProcedureCall);
  CompareMode mode = ModeArg(a, 3);
  std::vector<Variant> parts;
  if (!s.empty() && limit != 0) {
    if (delimiter.empty()) {
      parts.push_back(Variant(s));
    } else {
      std::size_t pos = 0;
      while (limit < 0 || static_cast<std::int32_t>(parts.size()) < limit - 1) {
        std::size_t at = Find(s, delimiter, pos, mode);
        if (at == std::u16string_view::npos) break;
        parts.push_back(Text(s.view().substr(pos, at - pos)));
        pos = at + delimiter.size();
      }
      parts.push_back(Text(s.view().substr(pos)));
    }
  }
  return Variant(SafeArray::FromValues(std::move(parts), VarType::String));
}

Variant Join(CallContext&, std::span<Variant> a) {
  if (!a[0].IsArray()) ThrowRuntime(err::kTypeMismatch);
  const SafeArray& array = a[0].AsArray();
  if (array.Dimensions() > 1) ThrowRuntime(err::kTypeMismatch);
  BString delimiter = Given(a, 1) ? TextArg(a[1]) : BString(u" ");
  std::u16string out;
  bool first = true;
  for (const auto& e : array.Elements()) {
    if (!first) out.append(delimiter.view());
    first = false;
    if (!e.IsNull()) out.append(automation::ToBString(e).view());
  }
  return Variant(BString(out));
}

Variant Filter(CallContext&, std::span<Variant> a) {
  if (!a[0].IsArray()) ThrowRuntime(err::kTypeMismatch);
  if (a[1].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  BString what = TextArg(a[1]);
  bool include = Given(a, 2) ? automation::ToBoolean(a[2]) : true;
  CompareMode mode = ModeArg(a, 3);
  std::vector<Variant> kept;
  for (const auto& e : a[0].AsArray().Elements()) {
    if (e.IsNull()) ThrowRuntime(err::kTypeMismatch);
    BString s = automation::ToBString(e);
    bool found = Find(s, what, 0, mode) != std::u16string_view::npos;
    if (found == include) kept.push_back(Variant(s));
  }
  return Variant(SafeArray::FromValues(std::move(kept), VarType::String));
}

char16_t Upper(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 32);
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 32);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
  return c;
}

template <bool ToUpper>
Variant ChangeCase(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) return Variant::Null();
  BString s = TextArg(a[0]);
  BString out = BString::Uninitialized(s.size());
  char16_t* d = out.MutableData();
  for (std::size_t i = 0; i < s.size(); ++i)
    d[i] = ToUpper ? Upper(s.view()[i]) : FoldChar(s.view()[i]);
  return Variant(out);
}

template <bool Front, bool Back>
Variant TrimText(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) return Variant::Null();
  BString s = TextArg(a[0]);
  std::u16string_view v = s.view();
  if (Front) {
    while (!v.empty() && v.front() == u' ') v.remove_prefix(1);
  }
  if (Back) {
    while (!v.empty() && v.back() == u' ') v.remove_suffix(1);
  }
  if (v.size() == s.size()) return Variant(s);
  return Text(v);
}

Variant Space(CallContext&, std::span<Variant> a) {
  std::int32_t n = CountArg(a[0]);
  return Variant(BString(std::u16string(static_cast<std::size_t>(n), u' ')));
}

Variant StringOf(CallContext&, std::span<Variant> a) {
  std::int32_t n = CountArg(a[0]);
  if (a[1].IsNull()) return Variant::Null();
  char16_t c;
  Variant v = Value(a[1]);
  if (v.IsString()) {
    if (v.AsString().empty()) ThrowRuntime(err::kInvalidProcedureCall);
    c = v.AsString()[0];
  } else {
    std::int32_t code = automation::ToLong(v);
    c = static_cast<char16_t>(((code % 256) + 256) % 256);
  }
  return Variant(BString(std::u16string(static_cast<std::size_t>(n), c)));
}

Variant StrComp(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull() || a[1].IsNull()) return Variant::Null();
  CompareMode mode = ModeArg(a, 2);
  return Variant(static_cast<std::int16_t>(CompareText(TextArg(a[0]), TextArg(a[1]), mode)));
}

Variant StrReverse(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  std::u16string s = TextArg(a[0]).str();
  std::reverse(s.begin(), s.end());
  return Variant(BString(s));
}

Variant Chr(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  std::int32_t code = automation::ToLong(a[0]);
  if (code < -32768 || code > 65535) ThrowRuntime(err::kInvalidProcedureCall);
  auto c = text::CharOfAnsiCode(static_cast<std::uint32_t>(code < 0 ? code + 65536 : code));
  if (!c) ThrowRuntime(err::kInvalidProcedureCall);
  return Variant(OneChar(*c));
}

Variant ChrW(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  std::int32_t code = automation::ToLong(a[0]);
  if (code < -32768 || code > 65535) ThrowRuntime(err::kInvalidProcedureCall);
  char16_t c = static_cast<char16_t>(code < 0 ? code + 65536 : code);
  return Variant(OneChar(c));
}

Variant Asc(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  BString s = TextArg(a[0]);
  if (s.empty()) ThrowRuntime(err::kInvalidProcedureCall);
  // A double-byte character's code shows as a negative Integer, as VB shows it.
  return Variant(static_cast<std::int16_t>(text::AnsiCodeOf(s.view()[0])));
}

Variant AscW(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  BString s = TextArg(a[0]);
  if (s.empty()) ThrowRuntime(err::kInvalidProcedureCall);
  return Variant(static_cast<std::int16_t>(s.view()[0]));
}

// Hex and Oct show a negative Integer in 16 bits and a negative Long in 32.
template <unsigned Base>
Variant Radix(CallContext&, std::span<Variant> a) {
  Variant v = Value(a[0]);
  if (v.IsNull()) return v;
  if (v.IsEmpty()) return Variant(u"0");
  std::uint32_t bits;
  if (v.Type() == VarType::Integer || v.Type() == VarType::Byte || v.Type() == VarType::Boolean) {
    bits = static_cast<std::uint16_t>(automation::ToInteger(v));
  } else {
    bits = static_cast<std::uint32_t>(automation::ToLong(v));
  }
  std::u16string out;
  do {
    unsigned d = bits % Base;
    out.insert(out.begin(), static_cast<char16_t>(d < 10 ? u'0' + d : u'A' + d - 10));
    bits /= Base;
  } while (bits);
  return Variant(BString(out));
}

bool Unreserved(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
         c == u'@' || c == u'*' || c == u'_' || c == u'+' || c == u'-' || c == u'.' || c == u'/';
}

Variant Escape(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) return Variant::Null();
  BString s = TextArg(a[0]);
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string out;
  for (char16_t c : s.view()) {
    if (Unreserved(c)) {
      out += c;
    } else if (c < 256) {
      out += u'%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += u"%u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 15];
    }
  }
  return Variant(BString(out));
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

Variant Unescape(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) return Variant::Null();
  std::u16string_view s = TextArg(a[0]);
  BString keep = TextArg(a[0]);
  s = keep.view();
  std::u16string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'%' && i + 5 < s.size() + 0 && s[i + 1] == u'u') {
      int v = 0;
      bool ok = true;
      for (std::size_t k = 2; k < 6; ++k) {
        int h = HexValue(s[i + k]);
        ok = ok && h >= 0;
        v = v * 16 + h;
      }
      if (ok) {
        out += static_cast<char16_t>(v);
        i += 5;
        continue;
      }
    }
    if (s[i] == u'%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out += static_cast<char16_t>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
      continue;
    }
    out += s[i];
  }
  return Variant(BString(out));
}

constexpr Builtin kFunctions[] = {
    {u"Len", Len, 1, 1},
    {u"Left", Left, 2, 2},
    {u"Right", Right, 2, 2},
    {u"Mid", Mid, 2, 3},
    {u"InStr", InStr, 2, 4},
    {u"InStrRev", InStrRev, 2, 4},
    {u"Replace", Replace, 3, 6},
    {u"Split", Split, 1, 4},
    {u"Join", Join, 1, 2},
    {u"Filter", Filter, 2, 4},
    {u"UCase", ChangeCase<true>, 1, 1},
    {u"LCase", ChangeCase<false>, 1, 1},
    {u"Trim", TrimText<true, true>, 1, 1},
    {u"LTrim", TrimText<true, false>, 1, 1},
    {u"RTrim", TrimText<false, true>, 1, 1},
    {u"Space", Space, 1, 1},
    {u"String", StringOf, 2, 2},
    {u"StrComp", StrComp, 2, 3},
    {u"StrReverse", StrReverse, 1, 1},
    {u"Chr", Chr, 1, 1},
    {u"ChrW", ChrW, 1, 1},
    {u"ChrB", ChrW, 1, 1},
    {u"Asc", Asc, 1, 1},
    {u"AscW", AscW, 1, 1},
    {u"AscB", AscW, 1, 1},
    {u"Hex", Radix<16>, 1, 1},
    {u"Oct", Radix<8>, 1, 1},
    {u"Escape", Escape, 1, 1},
    {u"Unescape", Unescape, 1, 1},
};

}  // namespace

std::span<const Builtin> StringFunctions() {
  return kFunctions;
}

}  // namespace telvinor::vbscript
