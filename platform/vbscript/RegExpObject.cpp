#include "vbscript/RegExpObject.h"

#include "automation/Conversions.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {

using automation::ClassBuilder;
using automation::ClassInfo;
using automation::Param;
using automation::Ref;
using automation::VarType;

const Regex& RegExpObject::Compiled() {
  if (!compiled_ || compiledPattern_ != pattern || compiledIgnoreCase_ != ignoreCase ||
      compiledMultiline_ != multiline) {
    compiled_ = std::make_unique<Regex>(pattern, RegexOptions{ignoreCase, multiline});
    compiledPattern_ = pattern;
    compiledIgnoreCase_ = ignoreCase;
    compiledMultiline_ = multiline;
  }
  return *compiled_;
}

bool RegExpObject::Test(std::u16string_view subject) {
  return Compiled().Search(subject, 0).has_value();
}

namespace {

Ref<MatchObject> MakeMatch(std::u16string_view subject, const RegexMatch& m) {
  auto match = automation::MakeRef<MatchObject>();
  match->value = std::u16string(subject.substr(m.begin, m.end - m.begin));
  match->firstIndex = static_cast<std::int32_t>(m.begin);
  for (const auto& [b, e] : m.groups) {
    if (b < 0)
      match->subMatches.emplace_back();
    else
      match->subMatches.emplace_back(
          subject.substr(static_cast<std::size_t>(b), static_cast<std::size_t>(e - b)));
  }
  return match;
}

// The next place to search after a match: one further after an empty match, so a pattern
// that can match nothing still walks the whole text.
std::size_t NextStart(const RegexMatch& m) {
  return m.end == m.begin ? m.end + 1 : m.end;
}

}  // namespace

Variant RegExpObject::Execute(std::u16string_view subject) {
  const Regex& re = Compiled();
  auto matches = automation::MakeRef<MatchCollection>();
  std::size_t from = 0;
  while (from <= subject.size()) {
    auto m = re.Search(subject, from);
    if (!m) break;
    matches->matches.emplace_back(MakeMatch(subject, *m));
    if (!global) break;
    from = NextStart(*m);
  }
  return Variant(matches);
}

std::u16string RegExpObject::Replace(std::u16string_view subject, std::u16string_view replacement) {
  const Regex& re = Compiled();
  std::u16string out;
  std::size_t from = 0, copied = 0;
  while (from <= subject.size()) {
    auto m = re.Search(subject, from);
    if (!m) break;
    out.append(subject.substr(copied, m->begin - copied));
    // $1..$99, $& (the match), $` (before it), $' (after it), $$ (a dollar sign).
    for (std::size_t i = 0; i < replacement.size(); ++i) {
      char16_t c = replacement[i];
      if (c != u'$' || i + 1 >= replacement.size()) {
        out += c;
        continue;
      }
      char16_t n = replacement[i + 1];
      if (n == u'$') {
        out += u'$';
        ++i;
      } else if (n == u'&') {
        out.append(subject.substr(m->begin, m->end - m->begin));
        ++i;
      } else if (n == u'`') {
        out.append(subject.substr(0, m->begin));
        ++i;
      } else if (n == u'\'') {
        out.append(subject.substr(m->end));
        ++i;
      } else if (n >= u'0' && n <= u'9') {
        std::size_t g = n - u'0';
        std::size_t used = 1;
        if (i + 2 < replacement.size() && replacement[i + 2] >= u'0' &&
            replacement[i + 2] <= u'9') {
          std::size_t two = g * 10 + (replacement[i + 2] - u'0');
          if (two >= 1 && two <= m->groups.size()) {
            g = two;
            used = 2;
          }
        }
        if (g >= 1 && g <= m->groups.size()) {
          auto [b, e] = m->groups[g - 1];
          if (b >= 0)
            out.append(
                subject.substr(static_cast<std::size_t>(b), static_cast<std::size_t>(e - b)));
          i += used;
        } else {
          out += c;
        }
      } else {
        out += c;
      }
    }
    copied = m->end;
    if (!global) break;
    if (m->end == m->begin) {
      if (m->end < subject.size()) out += subject[m->end];
      copied = m->end + 1;
    }
    from = NextStart(*m);
  }
  if (copied < subject.size()) out.append(subject.substr(copied));
  return out;
}

const ClassInfo& RegExpObject::Class() {
  static const ClassInfo info =
      ClassBuilder<RegExpObject>(u"IRegExp2")
          .ProgId(std::u16string(kRegExpProgId))
          .ClassId(kRegExpClassId)
          .Property(
              u"Pattern", 0x2711, VarType::String,
              [](RegExpObject& r) { return Variant(r.pattern); },
              [](RegExpObject& r, const Variant& v) { r.pattern = std::u16string(v.AsString()); })
          .Property(
              u"IgnoreCase", 0x2712, VarType::Boolean, [](RegExpObject& r) { return r.ignoreCase; },
              [](RegExpObject& r, const Variant& v) { r.ignoreCase = v.AsBoolean(); })
          .Property(
              u"Global", 0x2713, VarType::Boolean, [](RegExpObject& r) { return r.global; },
              [](RegExpObject& r, const Variant& v) { r.global = v.AsBoolean(); })
          .Property(
              u"Multiline", 0x2717, VarType::Boolean, [](RegExpObject& r) { return r.multiline; },
              [](RegExpObject& r, const Variant& v) { r.multiline = v.AsBoolean(); })
          .Method(u"Execute", 0x2714, {Param(u"sourceString", VarType::String)},
                  [](RegExpObject& r, std::span<Variant> a) { return r.Execute(a[0].AsString()); })
          .Method(u"Test", 0x2715, {Param(u"sourceString", VarType::String)},
                  [](RegExpObject& r, std::span<Variant> a) { return r.Test(a[0].AsString()); })
          .Method(u"Replace", 0x2716,
                  {Param(u"sourceString", VarType::String), Param(u"replaceVar")},
                  [](RegExpObject& r, std::span<Variant> a) {
                    std::u16string with = automation::ToString(a[1]);
                    return Variant(r.Replace(a[0].AsString(), with));
                  })
          .Build();
  return info;
}

const ClassInfo& MatchObject::Class() {
  static const ClassInfo info =
      ClassBuilder<MatchObject>(u"IMatch2")
          .Get(u"Value", automation::kDispIdValue, VarType::String,
               [](MatchObject& m) { return Variant(m.value); })
          .Get(u"FirstIndex", 0x2711, VarType::Long, [](MatchObject& m) { return m.firstIndex; })
          .Get(u"Length", 0x2712, VarType::Long,
               [](MatchObject& m) { return static_cast<std::int32_t>(m.value.size()); })
          .Get(u"SubMatches", 0x2713, VarType::Object,
               [](MatchObject& m) {
                 auto s = automation::MakeRef<SubMatches>();
                 s->items = m.subMatches;
                 return Variant(s);
               })
          .Build();
  return info;
}

namespace {
template <class T>
Variant ItemAt(const std::vector<Variant>& items, const Variant& index) {
  std::int32_t i = automation::ToLong(index);
  if (i < 0 || static_cast<std::size_t>(i) >= items.size())
    ThrowRuntime(err::kInvalidProcedureCall);
  return items[static_cast<std::size_t>(i)];
}
}  // namespace

const ClassInfo& MatchCollection::Class() {
  static const ClassInfo info =
      ClassBuilder<MatchCollection>(u"IMatchCollection2")
          .IndexedGet(u"Item", automation::kDispIdValue, {Param(u"index")}, VarType::Variant,
                      [](MatchCollection& c, std::span<Variant> a) {
                        return ItemAt<MatchCollection>(c.matches, a[0]);
                      })
          .Get(u"Count", 1, VarType::Long,
               [](MatchCollection& c) { return static_cast<std::int32_t>(c.matches.size()); })
          .Method(u"_NewEnum", automation::kDispIdNewEnum, {},
                  [](MatchCollection& c, std::span<Variant>) {
                    return Variant(automation::MakeRef<automation::ValueEnumerator>(c.matches));
                  })
          .Build();
  return info;
}

const ClassInfo& SubMatches::Class() {
  static const ClassInfo info =
      ClassBuilder<SubMatches>(u"ISubMatches")
          .IndexedGet(
              u"Item", automation::kDispIdValue, {Param(u"index")}, VarType::Variant,
              [](SubMatches& s, std::span<Variant> a) { return ItemAt<SubMatches>(s.items, a[0]); })
          .Get(u"Count", 1, VarType::Long,
               [](SubMatches& s) { return static_cast<std::int32_t>(s.items.size()); })
          .Method(u"_NewEnum", automation::kDispIdNewEnum, {},
                  [](SubMatches& s, std::span<Variant>) {
                    return Variant(automation::MakeRef<automation::ValueEnumerator>(s.items));
                  })
          .Build();
  return info;
}

}  // namespace telvinor::vbscript
