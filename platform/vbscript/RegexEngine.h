#pragma once
// The regular expressions of VBScript.RegExp (the ECMAScript 3 dialect): literals, ., classes
// with ranges and \d \w \s (and negations), anchors ^ $ \b \B, groups (capturing and (?:)),
// look-ahead (?= ) (?! ), alternation, greedy and lazy quantifiers * + ? {n} {n,} {n,m},
// back-references \1..\99, escapes \t \n \r \f \v \xHH \uHHHH \cX.
//
// Matching is a backtracking machine over compiled instructions with its own stack, so no
// pattern or subject can exhaust the C++ stack; a step budget stops runaway backtracking
// (nested quantifiers on a long subject) with an error instead of a hang. Syntax errors are
// the language's regular-expression errors (5017 to 5021).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvinor::vbscript {

struct RegexOptions {
  bool ignoreCase = false;
  bool multiline = false;
};

struct RegexMatch {
  std::size_t begin = 0, end = 0;
  // Per group (1-based in the pattern, 0-based here): start and end, or -1 when unmatched.
  std::vector<std::pair<std::int64_t, std::int64_t>> groups;
};

class Regex {
 public:
  // Throws ScriptError 5017..5021 for a bad pattern.
  Regex(std::u16string_view pattern, RegexOptions options);

  // The first match at or after `from`. Throws ScriptError 28 when the search exceeds its
  // budget of steps.
  [[nodiscard]] std::optional<RegexMatch> Search(std::u16string_view subject,
                                                 std::size_t from) const;
  [[nodiscard]] std::size_t GroupCount() const noexcept { return groupCount_; }

  // Steps one search may take before it is given up: a fixed allowance plus a share per
  // unit of the subject, so long texts with simple patterns always finish.
  static constexpr std::uint64_t kStepBudget = 1'000'000;
  static constexpr std::uint64_t kStepsPerUnit = 100;

  enum class Op : std::uint8_t {
    Char,
    Any,
    Class,
    Bol,
    Eol,
    WordBoundary,
    NotWordBoundary,
    Save,
    Split,
    Jump,
    Match,
    BackRef,
    Mark,
    Progress,
    LookAhead,
    LookEnd,
  };
  struct Inst {
    Op op;
    bool flag = false;  // Class: negated; LookAhead: negative; Split: prefer the second branch
    std::uint32_t a =
        0;  // Char: code unit; Class: class index; Save/Mark/Progress: register; jumps: target
    std::uint32_t b = 0;  // Split: second target; LookAhead: index of its LookEnd
  };
  struct Range {
    char16_t low, high;
  };
  struct CharClass {
    std::vector<Range> ranges;
  };

 private:
  friend class RegexCompiler;
  bool Run(std::u16string_view s, std::size_t start, std::size_t pc, std::size_t stopAt,
           std::vector<std::int64_t>& regs, std::size_t& end, std::uint64_t& steps,
           std::uint64_t budget, int depth) const;
  [[nodiscard]] bool InClass(const CharClass& c, char16_t ch) const;

  std::vector<Inst> code_;
  std::vector<CharClass> classes_;
  std::size_t groupCount_ = 0;
  std::size_t registerCount_ = 0;
  RegexOptions options_;
};

}  // namespace telvinor::vbscript
