#include "vbscript/RegexEngine.h"

#include <memory>

#include "vbscript/ScriptError.h"
#include "vbscript/VariantOps.h"

namespace telvinor::vbscript {
namespace {

constexpr int kMaxNesting = 200;
constexpr std::size_t kMaxProgram = 200'000;
constexpr std::size_t kMaxBacktrack = 4'000'000;
constexpr std::uint32_t kMaxRepeat = 10'000;

[[noreturn]] void SyntaxError(std::int32_t number = err::kRegExpSyntax) {
  ThrowRuntime(number);
}

bool IsLineEnd(char16_t c) {
  return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}
bool IsWordChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_';
}
char16_t UpperChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  return c;
}

const std::vector<Regex::Range>& DigitRanges() {
  static const std::vector<Regex::Range> r{{u'0', u'9'}};
  return r;
}
const std::vector<Regex::Range>& WordRanges() {
  static const std::vector<Regex::Range> r{{u'0', u'9'}, {u'A', u'Z'}, {u'_', u'_'}, {u'a', u'z'}};
  return r;
}
const std::vector<Regex::Range>& SpaceRanges() {
  static const std::vector<Regex::Range> r{
      {u'\t', u'\r'},   {u' ', u' '},     {0xA0, 0xA0},     {0x1680, 0x1680}, {0x2000, 0x200A},
      {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000}, {0xFEFF, 0xFEFF}};
  return r;
}

std::vector<Regex::Range> Complement(const std::vector<Regex::Range>& in) {
  std::vector<Regex::Range> out;
  std::uint32_t next = 0;
  for (const auto& r : in) {
    if (r.low > next)
      out.push_back({static_cast<char16_t>(next), static_cast<char16_t>(r.low - 1)});
    next = static_cast<std::uint32_t>(r.high) + 1;
  }
  if (next <= 0xFFFF) out.push_back({static_cast<char16_t>(next), 0xFFFF});
  return out;
}

// Pattern syntax tree.
struct Node {
  enum class Kind : std::uint8_t {
    Empty,
    Char,
    Any,
    Class,
    Bol,
    Eol,
    WordB,
    NotWordB,
    Group,
    NonGroup,
    Look,
    Concat,
    Alt,
    Repeat,
    BackRef
  };
  Kind kind = Kind::Empty;
  char16_t ch = 0;
  std::uint32_t index = 0;  // class index, group number, back-reference number
  bool negate = false;      // class, look-ahead
  std::uint32_t min = 0, max = 0;
  bool unbounded = false, lazy = false;
  std::vector<std::unique_ptr<Node>> kids;
};
using NodePtr = std::unique_ptr<Node>;

}  // namespace

class RegexCompiler {
 public:
  RegexCompiler(Regex& re, std::u16string_view p) : re_(re), p_(p) {}

  void Run() {
    NodePtr root = ParseAlternation();
    if (pos_ < p_.size()) SyntaxError(p_[pos_] == u')' ? err::kRegExpSyntax : err::kRegExpSyntax);
    re_.groupCount_ = groups_;
    // Register layout: 2 per group (0 is the whole match), then loop marks.
    registers_ = (groups_ + 1) * 2;
    Emit({Regex::Op::Save, false, 0});
    Compile(*root);
    Emit({Regex::Op::Save, false, 1});
    Emit({Regex::Op::Match});
    re_.registerCount_ = registers_;
  }

 private:
  struct Guard {
    explicit Guard(RegexCompiler& c) : c(c) {
      if (++c.depth_ > kMaxNesting) ThrowRuntime(err::kOutOfStackSpace);
    }
    ~Guard() { --c.depth_; }
    RegexCompiler& c;
  };

  bool AtEnd() const { return pos_ >= p_.size(); }
  char16_t Peek() const { return pos_ < p_.size() ? p_[pos_] : 0; }

  // alternation := sequence { "|" sequence }
  NodePtr ParseAlternation() {
    Guard g(*this);
    NodePtr first = ParseSequence();
    if (Peek() != u'|') return first;
    auto alt = std::make_unique<Node>();
    alt->kind = Node::Kind::Alt;
    alt->kids.push_back(std::move(first));
    while (Peek() == u'|') {
      ++pos_;
      alt->kids.push_back(ParseSequence());
    }
    return alt;
  }

  // sequence := { atom [quantifier] }
  NodePtr ParseSequence() {
    auto seq = std::make_unique<Node>();
    seq->kind = Node::Kind::Concat;
    while (!AtEnd() && Peek() != u'|' && Peek() != u')') {
      NodePtr atom = ParseAtom();
      atom = ParseQuantifier(std::move(atom));
      seq->kids.push_back(std::move(atom));
    }
    return seq;
  }

  bool ReadNumber(std::uint32_t& out) {
    std::size_t start = pos_;
    std::uint64_t v = 0;
    while (!AtEnd() && Peek() >= u'0' && Peek() <= u'9') {
      v = v * 10 + (Peek() - u'0');
      if (v > 0xFFFFFFF) v = 0xFFFFFFF;
      ++pos_;
    }
    out = static_cast<std::uint32_t>(v);
    return pos_ > start;
  }

  NodePtr ParseQuantifier(NodePtr atom) {
    std::uint32_t min = 0, max = 0;
    bool unbounded = false;
    char16_t c = Peek();
    if (c == u'*') {
      unbounded = true;
      ++pos_;
    } else if (c == u'+') {
      min = 1;
      unbounded = true;
      ++pos_;
    } else if (c == u'?') {
      max = 1;
      ++pos_;
    } else if (c == u'{') {
      std::size_t save = pos_;
      ++pos_;
      if (!ReadNumber(min)) {
        pos_ = save;
        return atom;
      }  // a literal "{"
      if (Peek() == u',') {
        ++pos_;
        if (Peek() == u'}')
          unbounded = true;
        else if (!ReadNumber(max)) {
          pos_ = save;
          return atom;
        }
      } else {
        max = min;
      }
      if (Peek() != u'}') {
        pos_ = save;
        return atom;
      }
      ++pos_;
      if (!unbounded && max < min) SyntaxError(err::kRegExpUnexpectedQuantifier);
      if (min > kMaxRepeat || (!unbounded && max > kMaxRepeat)) SyntaxError(err::kRegExpSyntax);
    } else {
      return atom;
    }
    if (atom->kind == Node::Kind::Bol || atom->kind == Node::Kind::Eol ||
        atom->kind == Node::Kind::WordB || atom->kind == Node::Kind::NotWordB ||
        atom->kind == Node::Kind::Look)
      SyntaxError(err::kRegExpUnexpectedQuantifier);
    auto r = std::make_unique<Node>();
    r->kind = Node::Kind::Repeat;
    r->min = min;
    r->max = max;
    r->unbounded = unbounded;
    if (Peek() == u'?') {
      r->lazy = true;
      ++pos_;
    }
    r->kids.push_back(std::move(atom));
    return r;
  }

  NodePtr Leaf(Node::Kind k, char16_t ch = 0) {
    auto n = std::make_unique<Node>();
    n->kind = k;
    n->ch = ch;
    return n;
  }

  NodePtr ClassNode(std::vector<Regex::Range> ranges, bool negate) {
    auto n = Leaf(Node::Kind::Class);
    n->index = static_cast<std::uint32_t>(re_.classes_.size());
    n->negate = negate;
    re_.classes_.push_back(Regex::CharClass{std::move(ranges)});
    return n;
  }

  NodePtr ParseAtom() {
    Guard g(*this);
    char16_t c = p_[pos_++];
    switch (c) {
      case u'^':
        return Leaf(Node::Kind::Bol);
      case u'$':
        return Leaf(Node::Kind::Eol);
      case u'.':
        return Leaf(Node::Kind::Any);
      case u'*':
      case u'+':
      case u'?':
        SyntaxError(err::kRegExpUnexpectedQuantifier);
      case u'[':
        return ParseClass();
      case u'(': {
        auto n = std::make_unique<Node>();
        if (Peek() == u'?') {
          ++pos_;
          char16_t k = AtEnd() ? 0 : p_[pos_++];
          if (k == u':')
            n->kind = Node::Kind::NonGroup;
          else if (k == u'=' || k == u'!') {
            n->kind = Node::Kind::Look;
            n->negate = k == u'!';
          } else {
            SyntaxError();
          }
        } else {
          n->kind = Node::Kind::Group;
          if (groups_ >= 99) SyntaxError();
          n->index = static_cast<std::uint32_t>(++groups_);
        }
        n->kids.push_back(ParseAlternation());
        if (Peek() != u')') SyntaxError(err::kRegExpExpectedParen);
        ++pos_;
        return n;
      }
      case u')':
        SyntaxError(err::kRegExpExpectedParen);
      case u'\\':
        return ParseEscape();
      default:
        return Leaf(Node::Kind::Char, c);
    }
  }

  char16_t EscapedChar(char16_t c) {
    switch (c) {
      case u't':
        return u'\t';
      case u'n':
        return u'\n';
      case u'r':
        return u'\r';
      case u'f':
        return u'\f';
      case u'v':
        return u'\v';
      case u'0':
        return 0;
      case u'x':
      case u'u': {
        std::size_t digits = c == u'x' ? 2 : 4;
        std::uint32_t v = 0;
        std::size_t start = pos_;
        for (std::size_t i = 0; i < digits; ++i) {
          char16_t h = Peek();
          int d = h >= u'0' && h <= u'9'                     ? h - u'0'
                  : (h | 0x20) >= u'a' && (h | 0x20) <= u'f' ? (h | 0x20) - u'a' + 10
                                                             : -1;
          if (d < 0) {
            pos_ = start;
            return c;  // not a hex escape: the letter itself
          }
          v = v * 16 + static_cast<std::uint32_t>(d);
          ++pos_;
        }
        return static_cast<char16_t>(v);
      }
      case u'c': {
        char16_t l = Peek();
        if ((l | 0x20) >= u'a' && (l | 0x20) <= u'z') {
          ++pos_;
          return static_cast<char16_t>(l % 32);
        }
        return u'\\';
      }
      default:
        return c;
    }
  }

  NodePtr ParseEscape() {
    if (AtEnd()) SyntaxError();
    char16_t c = p_[pos_++];
    switch (c) {
      case u'd':
        return ClassNode(DigitRanges(), false);
      case u'D':
        return ClassNode(DigitRanges(), true);
      case u'w':
        return ClassNode(WordRanges(), false);
      case u'W':
        return ClassNode(WordRanges(), true);
      case u's':
        return ClassNode(SpaceRanges(), false);
      case u'S':
        return ClassNode(SpaceRanges(), true);
      case u'b':
        return Leaf(Node::Kind::WordB);
      case u'B':
        return Leaf(Node::Kind::NotWordB);
      default:
        break;
    }
    if (c >= u'1' && c <= u'9') {
      std::uint32_t n = c - u'0';
      if (Peek() >= u'0' && Peek() <= u'9' && n * 10 + (Peek() - u'0') <= groups_)
        n = n * 10 + (p_[pos_++] - u'0');
      auto b = Leaf(Node::Kind::BackRef);
      b->index = n;
      return b;
    }
    return Leaf(Node::Kind::Char, EscapedChar(c));
  }

  NodePtr ParseClass() {
    bool negate = false;
    if (Peek() == u'^') {
      negate = true;
      ++pos_;
    }
    std::vector<Regex::Range> ranges;
    bool first = true;
    while (true) {
      if (AtEnd()) SyntaxError(err::kRegExpExpectedBracket);
      char16_t c = p_[pos_++];
      if (c == u']' && !first) break;
      if (c == u']' && first) break;  // "[]" matches nothing; "[^]" anything
      first = false;
      char16_t low;
      if (c == u'\\') {
        if (AtEnd()) SyntaxError(err::kRegExpExpectedBracket);
        char16_t e = p_[pos_++];
        const std::vector<Regex::Range>* set = nullptr;
        bool complement = false;
        switch (e) {
          case u'd':
            set = &DigitRanges();
            break;
          case u'D':
            set = &DigitRanges();
            complement = true;
            break;
          case u'w':
            set = &WordRanges();
            break;
          case u'W':
            set = &WordRanges();
            complement = true;
            break;
          case u's':
            set = &SpaceRanges();
            break;
          case u'S':
            set = &SpaceRanges();
            complement = true;
            break;
          default:
            break;
        }
        if (set) {
          auto add = complement ? Complement(*set) : *set;
          ranges.insert(ranges.end(), add.begin(), add.end());
          continue;
        }
        low = e == u'b' ? u'\b' : EscapedChar(e);
      } else {
        low = c;
      }
      char16_t high = low;
      if (Peek() == u'-' && pos_ + 1 < p_.size() && p_[pos_ + 1] != u']') {
        ++pos_;
        char16_t h = p_[pos_++];
        if (h == u'\\') {
          if (AtEnd()) SyntaxError(err::kRegExpExpectedBracket);
          h = EscapedChar(p_[pos_++]);
        }
        high = h;
        if (high < low) SyntaxError(err::kRegExpInvalidRange);
      }
      ranges.push_back({low, high});
    }
    return ClassNode(std::move(ranges), negate);
  }

  // ---- code generation
  std::size_t Emit(Regex::Inst i) {
    if (re_.code_.size() >= kMaxProgram) SyntaxError();
    re_.code_.push_back(i);
    return re_.code_.size() - 1;
  }
  std::size_t Here() const { return re_.code_.size(); }
  void Patch(std::size_t at, std::uint32_t a) { re_.code_[at].a = a; }

  void Compile(const Node& n) {
    Guard g(*this);
    using K = Node::Kind;
    using Op = Regex::Op;
    switch (n.kind) {
      case K::Empty:
        break;
      case K::Char:
        Emit({Op::Char, false, n.ch});
        break;
      case K::Any:
        Emit({Op::Any});
        break;
      case K::Class:
        Emit({Op::Class, n.negate, n.index});
        break;
      case K::Bol:
        Emit({Op::Bol});
        break;
      case K::Eol:
        Emit({Op::Eol});
        break;
      case K::WordB:
        Emit({Op::WordBoundary});
        break;
      case K::NotWordB:
        Emit({Op::NotWordBoundary});
        break;
      case K::BackRef:
        Emit({Op::BackRef, false, n.index});
        break;
      case K::Concat:
        for (const auto& k : n.kids) Compile(*k);
        break;
      case K::NonGroup:
        Compile(*n.kids[0]);
        break;
      case K::Group:
        Emit({Op::Save, false, n.index * 2});
        Compile(*n.kids[0]);
        Emit({Op::Save, false, n.index * 2 + 1});
        break;
      case K::Look: {
        std::size_t look = Emit({Op::LookAhead, n.negate});
        Compile(*n.kids[0]);
        std::size_t end = Emit({Op::LookEnd});
        re_.code_[look].b = static_cast<std::uint32_t>(end);
        break;
      }
      case K::Alt: {
        std::vector<std::size_t> jumps;
        for (std::size_t i = 0; i < n.kids.size(); ++i) {
          if (i + 1 < n.kids.size()) {
            std::size_t split = Emit({Op::Split});
            re_.code_[split].a = static_cast<std::uint32_t>(Here());
            Compile(*n.kids[i]);
            jumps.push_back(Emit({Op::Jump}));
            re_.code_[split].b = static_cast<std::uint32_t>(Here());
          } else {
            Compile(*n.kids[i]);
          }
        }
        for (auto j : jumps) Patch(j, static_cast<std::uint32_t>(Here()));
        break;
      }
      case K::Repeat:
        CompileRepeat(n);
        break;
    }
  }

  void CompileRepeat(const Node& n) {
    using Op = Regex::Op;
    const Node& body = *n.kids[0];
    for (std::uint32_t i = 0; i < n.min; ++i) Compile(body);
    if (n.unbounded) {
      // loop: Split(body, out); Mark r; body; Progress r (no empty turns); Jump loop
      std::uint32_t reg = static_cast<std::uint32_t>(registers_++);
      std::size_t loop = Emit({Op::Split, n.lazy});
      Emit({Op::Mark, false, reg});
      Compile(body);
      Emit({Op::Progress, false, reg});
      Emit({Op::Jump, false, static_cast<std::uint32_t>(loop)});
      re_.code_[loop].a = static_cast<std::uint32_t>(loop + 1);
      re_.code_[loop].b = static_cast<std::uint32_t>(Here());
      return;
    }
    std::vector<std::size_t> splits;
    for (std::uint32_t i = n.min; i < n.max; ++i) {
      std::size_t split = Emit({Op::Split, n.lazy});
      re_.code_[split].a = static_cast<std::uint32_t>(Here());
      splits.push_back(split);
      Compile(body);
    }
    for (auto s : splits) re_.code_[s].b = static_cast<std::uint32_t>(Here());
  }

  Regex& re_;
  std::u16string_view p_;
  std::size_t pos_ = 0;
  std::size_t groups_ = 0;
  std::size_t registers_ = 0;
  int depth_ = 0;
};

Regex::Regex(std::u16string_view pattern, RegexOptions options) : options_(options) {
  RegexCompiler(*this, pattern).Run();
}

bool Regex::InClass(const CharClass& c, char16_t ch) const {
  auto test = [&](char16_t x) {
    for (const auto& r : c.ranges) {
      if (x >= r.low && x <= r.high) return true;
    }
    return false;
  };
  if (test(ch)) return true;
  if (options_.ignoreCase) return test(FoldChar(ch)) || test(UpperChar(ch));
  return false;
}

bool Regex::Run(std::u16string_view s, std::size_t start, std::size_t pc, std::size_t stopAt,
                std::vector<std::int64_t>& regs, std::size_t& end, std::uint64_t& steps,
                std::uint64_t budget, int depth) const {
  struct Choice {
    std::size_t pc, pos, undo;
  };
  struct Undo {
    std::size_t reg;
    std::int64_t old;
  };
  std::vector<Choice> choices;
  std::vector<Undo> undo;
  std::size_t pos = start;
  auto set = [&](std::size_t reg, std::int64_t value) {
    undo.push_back({reg, regs[reg]});
    regs[reg] = value;
  };
  auto fail = [&]() -> bool {
    if (choices.empty()) return false;
    Choice c = choices.back();
    choices.pop_back();
    while (undo.size() > c.undo) {
      regs[undo.back().reg] = undo.back().old;
      undo.pop_back();
    }
    pc = c.pc;
    pos = c.pos;
    return true;
  };
  auto wordAt = [&](std::size_t i) { return i < s.size() && IsWordChar(s[i]); };
  while (true) {
    if (++steps > budget) ThrowRuntime(err::kOutOfStackSpace);
    const Inst& in = code_[pc];
    bool ok = true;
    switch (in.op) {
      case Op::Char:
        if (pos < s.size() &&
            (s[pos] == in.a ||
             (options_.ignoreCase && FoldChar(s[pos]) == FoldChar(static_cast<char16_t>(in.a))))) {
          ++pos;
          ++pc;
        } else {
          ok = false;
        }
        break;
      case Op::Any:
        if (pos < s.size() && !IsLineEnd(s[pos])) {
          ++pos;
          ++pc;
        } else {
          ok = false;
        }
        break;
      case Op::Class:
        if (pos < s.size() && InClass(classes_[in.a], s[pos]) != in.flag) {
          ++pos;
          ++pc;
        } else {
          ok = false;
        }
        break;
      case Op::Bol:
        ok = pos == 0 || (options_.multiline && IsLineEnd(s[pos - 1]));
        ++pc;
        break;
      case Op::Eol:
        ok = pos == s.size() || (options_.multiline && IsLineEnd(s[pos]));
        ++pc;
        break;
      case Op::WordBoundary:
      case Op::NotWordBoundary: {
        bool boundary = (pos > 0 && wordAt(pos - 1)) != wordAt(pos);
        ok = boundary == (in.op == Op::WordBoundary);
        ++pc;
        break;
      }
      case Op::Save:
      case Op::Mark:
        set(in.a, static_cast<std::int64_t>(pos));
        ++pc;
        break;
      case Op::Progress:
        ok = regs[in.a] != static_cast<std::int64_t>(pos);  // an empty turn of a loop ends it
        ++pc;
        break;
      case Op::Split: {
        if (choices.size() >= kMaxBacktrack) ThrowRuntime(err::kOutOfStackSpace);
        std::size_t first = in.flag ? in.b : in.a, second = in.flag ? in.a : in.b;
        choices.push_back({second, pos, undo.size()});
        pc = first;
        break;
      }
      case Op::Jump:
        pc = in.a;
        break;
      case Op::BackRef: {
        if (in.a * 2 + 1 >= regs.size() || in.a > groupCount_) {
          ++pc;  // a group the pattern does not have matches the empty text
          break;
        }
        std::int64_t b = regs[in.a * 2], e = regs[in.a * 2 + 1];
        if (b < 0 || e < b) {
          ++pc;  // an unset group matches the empty text
          break;
        }
        auto len = static_cast<std::size_t>(e - b);
        if (pos + len > s.size()) {
          ok = false;
          break;
        }
        for (std::size_t i = 0; i < len && ok; ++i) {
          char16_t x = s[static_cast<std::size_t>(b) + i], y = s[pos + i];
          ok = x == y || (options_.ignoreCase && FoldChar(x) == FoldChar(y));
        }
        if (ok) {
          pos += len;
          ++pc;
        }
        break;
      }
      case Op::LookAhead: {
        if (depth > kMaxNesting) ThrowRuntime(err::kOutOfStackSpace);
        std::vector<std::int64_t> inner = regs;
        std::size_t innerEnd = 0;
        bool found = Run(s, pos, pc + 1, in.b, inner, innerEnd, steps, budget, depth + 1);
        if (found != in.flag) {
          if (found) {
            for (std::size_t r = 0; r < regs.size(); ++r) {
              if (inner[r] != regs[r]) set(r, inner[r]);
            }
          }
          pc = in.b + 1;
        } else {
          ok = false;
        }
        break;
      }
      case Op::LookEnd:
      case Op::Match:
        if (in.op == Op::Match || pc == stopAt) {
          end = pos;
          return true;
        }
        ++pc;
        break;
    }
    if (!ok && !fail()) return false;
  }
}

std::optional<RegexMatch> Regex::Search(std::u16string_view subject, std::size_t from) const {
  std::uint64_t steps = 0;
  std::uint64_t budget = kStepBudget + kStepsPerUnit * subject.size();
  std::vector<std::int64_t> regs(registerCount_, -1);
  for (std::size_t start = from; start <= subject.size(); ++start) {
    std::fill(regs.begin(), regs.end(), -1);
    std::size_t end = 0;
    if (Run(subject, start, 0, code_.size(), regs, end, steps, budget, 0)) {
      RegexMatch m;
      m.begin = static_cast<std::size_t>(regs[0]);
      m.end = static_cast<std::size_t>(regs[1]);
      for (std::size_t g = 1; g <= groupCount_; ++g) {
        std::int64_t b = regs[g * 2], e = regs[g * 2 + 1];
        if (b < 0 || e < b)
          m.groups.emplace_back(-1, -1);
        else
          m.groups.emplace_back(b, e);
      }
      return m;
    }
  }
  return std::nullopt;
}

}  // namespace telvinor::vbscript
