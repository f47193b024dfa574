#pragma once
// VBScript.RegExp and its results: RegExp (Pattern, IgnoreCase, Global, Multiline, Test,
// Execute, Replace), the collection of matches, a match (Value, FirstIndex, Length,
// SubMatches) and its sub-matches. Positions are 0-based, as the object model gives them.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/ClassInfo.h"
#include "vbscript/RegexEngine.h"

namespace telvinor::vbscript {

using automation::Variant;

inline constexpr std::u16string_view kRegExpProgId = u"VBScript.RegExp";
inline constexpr std::string_view kRegExpClassId = "{3f4daca4-160d-11d2-a8e9-00104b365c9f}";

class RegExpObject : public automation::AutomationObject<RegExpObject> {
 public:
  static const automation::ClassInfo& Class();

  [[nodiscard]] bool Test(std::u16string_view subject);
  [[nodiscard]] Variant Execute(std::u16string_view subject);
  [[nodiscard]] std::u16string Replace(std::u16string_view subject,
                                       std::u16string_view replacement);

  std::u16string pattern;
  bool ignoreCase = false, global = false, multiline = false;

 private:
  const Regex& Compiled();
  std::unique_ptr<Regex> compiled_;
  std::u16string compiledPattern_;
  bool compiledIgnoreCase_ = false, compiledMultiline_ = false;
};

class MatchObject : public automation::AutomationObject<MatchObject> {
 public:
  static const automation::ClassInfo& Class();
  std::u16string value;
  std::int32_t firstIndex = 0;
  std::vector<Variant> subMatches;  // text, or Empty for a group that did not take part
};

class MatchCollection : public automation::AutomationObject<MatchCollection> {
 public:
  static const automation::ClassInfo& Class();
  std::vector<Variant> matches;
};

class SubMatches : public automation::AutomationObject<SubMatches> {
 public:
  static const automation::ClassInfo& Class();
  std::vector<Variant> items;
};

}  // namespace telvinor::vbscript
