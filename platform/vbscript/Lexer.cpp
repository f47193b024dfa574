#include "vbscript/Lexer.h"

#include <cmath>
#include <cstdlib>

#include "automation/Conversions.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {
namespace {

bool IsLetter(char16_t c) {
  // ASCII letters, and every non-ASCII letter-like unit (the scripts are written in Chinese).
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
         (c >= 0xC0 && c != 0xD7 && c != 0xF7 && !(c >= 0x2000 && c <= 0x206F) &&
          !(c >= 0x3000 && c <= 0x303F) && !(c >= 0xFF00 && c <= 0xFF0F) && c != 0xFEFF);
}
bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
bool IsIdentChar(char16_t c) {
  return IsLetter(c) || IsDigit(c) || c == u'_';
}
bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0xA0 || c == 0x3000 || c == 0xFEFF;
}
bool IsNewLine(char16_t c) {
  return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

class Lexer {
 public:
  explicit Lexer(std::u16string_view s) : s_(s) {}

  std::vector<Token> Run() {
    std::vector<Token> out;
    bool space = false;
    while (true) {
      char16_t c = Peek();
      if (pos_ >= s_.size()) break;
      if (IsBlank(c)) {
        Advance();
        space = true;
        continue;
      }
      if (c == u'_' && ContinuationFollows()) {
        space = true;
        continue;
      }
      if (c == u'\'') {
        SkipComment();
        continue;
      }
      Token t;
      t.line = line_;
      t.column = Column();
      t.spaceBefore = space;
      space = false;
      if (IsNewLine(c)) {
        SkipNewLine();
        t.tok = Tok::NewLine;
      } else if (c == u':') {
        Advance();
        t.tok = Tok::Colon;
      } else if (IsLetter(c)) {
        std::size_t start = pos_;
        while (pos_ < s_.size() && IsIdentChar(s_[pos_])) Advance();
        std::u16string_view word = s_.substr(start, pos_ - start);
        if (word.size() > kMaxIdentifierLength) Fail(err::kIdentifierTooLong, t);
        t.tok = KeywordOf(word);
        if (t.tok == Tok::Identifier && word.size() == 3 && (word[0] | 0x20) == u'r' &&
            (word[1] | 0x20) == u'e' && (word[2] | 0x20) == u'm') {
          SkipComment();
          continue;
        }
        t.text = std::u16string(word);
      } else if (c == u'[') {
        Advance();
        std::size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] != u']' && !IsNewLine(s_[pos_])) Advance();
        if (Peek() != u']') Fail(err::kExpectedRBracket, t);
        if (pos_ - start > kMaxIdentifierLength) Fail(err::kIdentifierTooLong, t);
        t.text = std::u16string(s_.substr(start, pos_ - start));
        Advance();
        t.tok = Tok::Identifier;
      } else if (IsDigit(c) || (c == u'.' && IsDigit(PeekAt(1)))) {
        LexNumber(t);
      } else if (c == u'"') {
        LexString(t);
      } else if (c == u'#') {
        LexDate(t);
      } else if (c == u'&' && (IsHexOrOctalStart())) {
        LexRadix(t);
      } else {
        LexPunctuation(t);
      }
      out.push_back(std::move(t));
    }
    Token end;
    end.tok = Tok::EndOfFile;
    end.line = line_;
    end.column = Column();
    out.push_back(end);
    return out;
  }

 private:
  [[noreturn]] void Fail(std::int32_t number, const Token& at) {
    ScriptError e(ErrorKind::Compile, number);
    e.line = at.line;
    e.column = at.column;
    throw e;
  }
  [[noreturn]] void FailHere(std::int32_t number) {
    Token t;
    t.line = line_;
    t.column = Column();
    Fail(number, t);
  }

  char16_t Peek() const { return pos_ < s_.size() ? s_[pos_] : 0; }
  char16_t PeekAt(std::size_t k) const { return pos_ + k < s_.size() ? s_[pos_ + k] : 0; }
  void Advance() { ++pos_; }
  std::uint32_t Column() const { return static_cast<std::uint32_t>(pos_ - lineStart_ + 1); }

  void SkipNewLine() {
    if (s_[pos_] == u'\r' && PeekAt(1) == u'\n') ++pos_;
    ++pos_;
    ++line_;
    lineStart_ = pos_;
  }
  void SkipComment() {
    while (pos_ < s_.size() && !IsNewLine(s_[pos_])) ++pos_;
  }
  // "_" then blanks then a line end: the statement goes on on the next line.
  bool ContinuationFollows() {
    std::size_t p = pos_ + 1;
    while (p < s_.size() && IsBlank(s_[p])) ++p;
    if (p < s_.size() && !IsNewLine(s_[p])) return false;
    pos_ = p;
    if (pos_ < s_.size()) SkipNewLine();
    return true;
  }

  bool IsHexOrOctalStart() const {
    char16_t n = PeekAt(1);
    if (n == u'h' || n == u'H') {
      char16_t d = PeekAt(2);
      return IsDigit(d) || ((d | 0x20) >= u'a' && (d | 0x20) <= u'f');
    }
    if (n == u'o' || n == u'O') return IsDigit(PeekAt(2));
    return IsDigit(n);
  }

  void LexRadix(Token& t) {
    Advance();  // &
    int base = 8;
    if ((Peek() | 0x20) == u'h') {
      base = 16;
      Advance();
    } else if ((Peek() | 0x20) == u'o') {
      Advance();
    }
    std::uint64_t value = 0;
    std::size_t digits = 0;
    while (pos_ < s_.size()) {
      char16_t c = s_[pos_];
      int d = IsDigit(c)                                                 ? c - u'0'
              : (base == 16 && (c | 0x20) >= u'a' && (c | 0x20) <= u'f') ? (c | 0x20) - u'a' + 10
                                                                         : -1;
      if (d < 0) break;
      if (d >= base) Fail(err::kSyntaxError, t);
      value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
      if (value > 0xFFFFFFFFu) Fail(err::kSyntaxError, t);
      ++digits;
      Advance();
    }
    if (Peek() == u'&') Advance();  // an explicit Long suffix
    if (IsIdentChar(Peek())) Fail(err::kExpectedEndOfStatement, t);
    t.tok = Tok::Integer;
    // Up to 16 bits is an Integer (&HFFFF is -1), more is a Long (&HFFFFFFFF is -1).
    bool small = base == 16 ? value <= 0xFFFF && digits <= 4 : value <= 0xFFFF;
    t.number =
        small ? static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)))
              : static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
  }

  void LexNumber(Token& t) {
    std::string text;
    bool isFloat = false;
    while (IsDigit(Peek())) text += static_cast<char>(s_[pos_++]);
    if (Peek() == u'.' && IsDigit(PeekAt(1))) {
      isFloat = true;
      text += '.';
      Advance();
      while (IsDigit(Peek())) text += static_cast<char>(s_[pos_++]);
    } else if (Peek() == u'.' && !IsLetter(PeekAt(1))) {
      isFloat = true;  // "5." is 5 as a Double
      Advance();
    }
    if ((Peek() | 0x20) == u'e' &&
        (IsDigit(PeekAt(1)) || ((PeekAt(1) == u'+' || PeekAt(1) == u'-') && IsDigit(PeekAt(2))))) {
      isFloat = true;
      text += 'e';
      Advance();
      if (Peek() == u'+' || Peek() == u'-') text += static_cast<char>(s_[pos_++]);
      while (IsDigit(Peek())) text += static_cast<char>(s_[pos_++]);
    }
    if (IsIdentChar(Peek())) Fail(err::kExpectedEndOfStatement, t);
    if (text.size() > 4096) Fail(err::kInvalidNumber, t);
    double value = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(value)) Fail(err::kInvalidNumber, t);
    t.number = value;
    t.tok = (!isFloat && value <= 2147483647.0) ? Tok::Integer : Tok::Float;
  }

  void LexString(Token& t) {
    Advance();
    std::u16string value;
    while (true) {
      if (pos_ >= s_.size() || IsNewLine(s_[pos_])) Fail(err::kUnterminatedString, t);
      char16_t c = s_[pos_++];
      if (c == u'"') {
        if (Peek() == u'"') {
          value += u'"';
          Advance();
          continue;
        }
        break;
      }
      value += c;
    }
    t.tok = Tok::String;
    t.text = std::move(value);
  }

  void LexDate(Token& t) {
    Advance();
    std::size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] != u'#' && !IsNewLine(s_[pos_])) Advance();
    if (Peek() != u'#') Fail(err::kSyntaxError, t);
    std::u16string_view text = s_.substr(start, pos_ - start);
    Advance();
    // Date literals are always month/day/year, whatever the locale.
    auto value = automation::ParseDate(text);
    if (!value) Fail(err::kSyntaxError, t);
    t.tok = Tok::Date;
    t.number = *value;
  }

  void LexPunctuation(Token& t) {
    char16_t c = Peek();
    char16_t n = PeekAt(1);
    Advance();
    switch (c) {
      case u'(':
        t.tok = Tok::LParen;
        return;
      case u')':
        t.tok = Tok::RParen;
        return;
      case u',':
        t.tok = Tok::Comma;
        return;
      case u'.':
        t.tok = Tok::Dot;
        return;
      case u'=':
        t.tok = Tok::Equal;
        return;
      case u'+':
        t.tok = Tok::Plus;
        return;
      case u'-':
        t.tok = Tok::Minus;
        return;
      case u'*':
        t.tok = Tok::Star;
        return;
      case u'/':
        t.tok = Tok::Slash;
        return;
      case u'\\':
        t.tok = Tok::Backslash;
        return;
      case u'^':
        t.tok = Tok::Caret;
        return;
      case u'&':
        t.tok = Tok::Ampersand;
        return;
      case u'<':
        if (n == u'>') {
          Advance();
          t.tok = Tok::NotEqual;
          return;
        }
        if (n == u'=') {
          Advance();
          t.tok = Tok::LessEqual;
          return;
        }
        t.tok = Tok::Less;
        return;
      case u'>':
        if (n == u'=') {
          Advance();
          t.tok = Tok::GreaterEqual;
          return;
        }
        t.tok = Tok::Greater;
        return;
      default:
        Fail(err::kInvalidCharacter, t);
    }
  }

  std::u16string_view s_;
  std::size_t pos_ = 0;
  std::size_t lineStart_ = 0;
  std::uint32_t line_ = 1;
};

}  // namespace

std::vector<Token> Tokenize(std::u16string_view source) {
  return Lexer(source).Run();
}

}  // namespace telvinor::vbscript
