#include "vbscript/Parser.h"

#include <array>

#include "automation/ClassInfo.h"
#include "vbscript/Lexer.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {
namespace {

using automation::FoldCase;

// Binary operators: token, operator, precedence (higher binds tighter). All are
// left-associative, ^ included (2 ^ 3 ^ 2 is 64).
struct BinaryRule {
  Tok token;
  BinaryOp op;
  int precedence;
};
constexpr std::array kBinaryRules{
    BinaryRule{Tok::Imp, BinaryOp::Imp, 1},
    BinaryRule{Tok::Eqv, BinaryOp::Eqv, 2},
    BinaryRule{Tok::Xor, BinaryOp::Xor, 3},
    BinaryRule{Tok::Or, BinaryOp::Or, 4},
    BinaryRule{Tok::And, BinaryOp::And, 5},
    // Not: 6 (unary)
    BinaryRule{Tok::Equal, BinaryOp::Equal, 7},
    BinaryRule{Tok::NotEqual, BinaryOp::NotEqual, 7},
    BinaryRule{Tok::Less, BinaryOp::Less, 7},
    BinaryRule{Tok::Greater, BinaryOp::Greater, 7},
    BinaryRule{Tok::LessEqual, BinaryOp::LessEqual, 7},
    BinaryRule{Tok::GreaterEqual, BinaryOp::GreaterEqual, 7},
    BinaryRule{Tok::Is, BinaryOp::Is, 7},
    BinaryRule{Tok::Ampersand, BinaryOp::Concat, 8},
    BinaryRule{Tok::Plus, BinaryOp::Add, 9},
    BinaryRule{Tok::Minus, BinaryOp::Subtract, 9},
    BinaryRule{Tok::Mod, BinaryOp::Mod, 10},
    BinaryRule{Tok::Backslash, BinaryOp::IntDivide, 11},
    BinaryRule{Tok::Star, BinaryOp::Multiply, 12},
    BinaryRule{Tok::Slash, BinaryOp::Divide, 12},
    // unary minus: 13
    BinaryRule{Tok::Caret, BinaryOp::Power, 14},
};
constexpr int kNotPrecedence = 6;
constexpr int kNegatePrecedence = 13;

const BinaryRule* BinaryRuleOf(Tok t) {
  for (const auto& r : kBinaryRules) {
    if (r.token == t) return &r;
  }
  return nullptr;
}

bool IsComparison(BinaryOp op) {
  return op >= BinaryOp::Equal && op <= BinaryOp::GreaterEqual;
}

class Parser {
 public:
  Parser(std::vector<Token> tokens, Program& program)
      : toks_(std::move(tokens)), program_(program) {}

  // program := { separator } { statement separator }
  void ParseProgram() {
    SkipSeparators();
    while (!At(Tok::EndOfFile)) {
      ParseTopLevel();
      ExpectEndOfStatement();
      SkipSeparators();
    }
  }

  // expression-program := expression { separator } EOF
  ExprPtr ParseSoleExpression() {
    SkipSeparators();
    ExprPtr e = ParseExpression();
    SkipSeparators();
    if (!At(Tok::EndOfFile)) Fail(err::kExpectedEndOfStatement);
    return e;
  }

 private:
  // ---- token helpers
  const Token& Peek(std::size_t k = 0) const {
    std::size_t i = pos_ + k;
    return i < toks_.size() ? toks_[i] : toks_.back();
  }
  bool At(Tok t) const { return Peek().tok == t; }
  const Token& Next() {
    const Token& t = Peek();
    if (pos_ < toks_.size() - 1) ++pos_;
    return t;
  }
  bool Accept(Tok t) {
    if (!At(t)) return false;
    Next();
    return true;
  }
  void Expect(Tok t, std::int32_t error) {
    if (!Accept(t)) Fail(error);
  }
  [[noreturn]] void Fail(std::int32_t number) { FailAt(number, Peek()); }
  [[noreturn]] void FailAt(std::int32_t number, const Token& t) {
    ScriptError e(ErrorKind::Compile, number);
    e.line = t.line;
    e.column = t.column;
    throw e;
  }
  template <class N>
  std::unique_ptr<N> Node(const Token& at) {
    auto n = std::make_unique<N>();
    n->line = at.line;
    n->column = at.column;
    return n;
  }

  bool AtEndOfStatement() const {
    Tok t = Peek().tok;
    return t == Tok::NewLine || t == Tok::Colon || t == Tok::EndOfFile ||
           (singleLineIf_ > 0 && t == Tok::Else);
  }
  void ExpectEndOfStatement() {
    if (!AtEndOfStatement()) Fail(err::kExpectedEndOfStatement);
  }
  void SkipSeparators() {
    while (At(Tok::NewLine) || At(Tok::Colon)) Next();
  }
  void ExpectLineEnd() {
    // After a block opener ("If c Then", "Sub F()") a statement may follow a colon.
    if (!At(Tok::NewLine) && !At(Tok::Colon) && !At(Tok::EndOfFile))
      Fail(err::kExpectedEndOfStatement);
  }

  std::u16string ExpectIdentifier() {
    if (!At(Tok::Identifier)) Fail(err::kExpectedIdentifier);
    return Next().text;
  }
  // After "." any word is a member name, keywords included (node.Text, rs.Next).
  std::u16string ExpectMemberName() {
    if (At(Tok::Identifier) || IsKeyword(Peek().tok)) return Next().text;
    Fail(err::kExpectedIdentifier);
  }
  bool AtWord(std::u16string_view word) const {
    return At(Tok::Identifier) && automation::EqualsIgnoringCase(Peek().text, word);
  }

  struct DepthGuard {
    explicit DepthGuard(Parser& p) : p(p) {
      if (++p.depth_ > kMaxNesting) {
        ScriptError e(ErrorKind::Compile, err::kOutOfStackSpace);
        e.line = p.Peek().line;
        e.column = p.Peek().column;
        throw e;
      }
    }
    ~DepthGuard() { --p.depth_; }
    Parser& p;
  };

  // ---- declarations and statements

  // top-level := option-explicit | class-decl | procedure-decl | [Public|Private] (const |
  // dim-list) | statement
  void ParseTopLevel() {
    const Token& t = Peek();
    switch (t.tok) {
      case Tok::Option:
        Next();
        if (!AtWord(u"explicit")) Fail(err::kSyntaxError);
        Next();
        program_.optionExplicit = true;
        return;
      case Tok::Class:
        ParseClass();
        return;
      case Tok::Sub:
      case Tok::Function:
        program_.procedures.push_back(ParseProcedure(true, false, nullptr));
        return;
      case Tok::Public:
      case Tok::Private: {
        Next();
        bool isPublic = t.tok == Tok::Public;
        bool isDefault = false;
        if (AtWord(u"default")) {
          Next();
          isDefault = true;
        }
        if (At(Tok::Sub) || At(Tok::Function) || AtWord(u"property")) {
          if (AtWord(u"property")) Fail(err::kMustBeInsideClass);
          if (isDefault) Fail(err::kDefaultOnlyOnProperty);
          program_.procedures.push_back(ParseProcedure(isPublic, false, nullptr));
          return;
        }
        if (isDefault) Fail(err::kDefaultOnlyOnProperty);
        if (At(Tok::Const)) {
          Next();
          ParseConstList(program_.constants, isPublic);
          return;
        }
        program_.statements.push_back(ParseDimList(t));
        return;
      }
      case Tok::Const:
        Next();
        ParseConstList(program_.constants, true);
        return;
      default:
        if (AtWord(u"property")) Fail(err::kMustBeInsideClass);
        ParseStatement(program_.statements);
        return;
    }
  }

  // block := { separator } { statement separator } — up to a token that closes the block
  Block ParseBlock() {
    DepthGuard guard(*this);
    Block block;
    while (true) {
      SkipSeparators();
      switch (Peek().tok) {
        case Tok::End:
        case Tok::Else:
        case Tok::ElseIf:
        case Tok::Case:
        case Tok::Loop:
        case Tok::Next:
        case Tok::Wend:
        case Tok::EndOfFile:
          return block;
        default:
          break;
      }
      ParseStatement(block);
      ExpectEndOfStatement();
    }
  }

  // statement := dim | redim | const | if | select | for | do | while | with | exit | on-error |
  //              set | call | erase | assignment | call-statement
  void ParseStatement(Block& out) {
    const Token& t = Peek();
    switch (t.tok) {
      case Tok::Dim:
        out.push_back(ParseDimList(t));
        return;
      case Tok::ReDim:
        out.push_back(ParseReDim());
        return;
      case Tok::Const:
        Next();
        if (!procedure_) {
          ParseConstList(program_.constants, true);
        } else {
          ParseConstList(procedure_->constants, true);
        }
        return;
      case Tok::If:
        out.push_back(ParseIf());
        return;
      case Tok::Select:
        out.push_back(ParseSelect());
        return;
      case Tok::For:
        out.push_back(ParseFor());
        return;
      case Tok::Do:
        out.push_back(ParseDo());
        return;
      case Tok::While:
        out.push_back(ParseWhile());
        return;
      case Tok::With:
        out.push_back(ParseWith());
        return;
      case Tok::Exit:
        out.push_back(ParseExit());
        return;
      case Tok::On:
        out.push_back(ParseOnError());
        return;
      case Tok::Set:
        Next();
        out.push_back(ParseAssignmentOrCall(t, AssignKind::Set));
        return;
      case Tok::Let:
        Next();
        out.push_back(ParseAssignmentOrCall(t, AssignKind::Let));
        return;
      case Tok::Call:
        out.push_back(ParseCall());
        return;
      case Tok::Erase: {
        Next();
        auto s = Node<EraseStmt>(t);
        s->target = ParseNameTarget();
        out.push_back(std::move(s));
        return;
      }
      case Tok::Stop: {
        Next();
        auto nop = std::make_unique<Stmt>(StmtKind::Nop);
        nop->line = t.line;
        nop->column = t.column;
        out.push_back(std::move(nop));
        return;
      }
      case Tok::Identifier:
      case Tok::Dot:
      case Tok::Me:
        out.push_back(ParseAssignmentOrCall(t, AssignKind::Either));
        return;
      case Tok::Loop:
        Fail(err::kLoopWithoutDo);
      case Tok::Next:
        Fail(err::kUnexpectedNext);
      case Tok::Sub:
      case Tok::Function:
      case Tok::Class:
      case Tok::Public:
      case Tok::Private:
      case Tok::Option:
        // Declarations belong at module level, outside every procedure and block.
        Fail(err::kExpectedStatement);
      default:
        Fail(err::kExpectedStatement);
    }
  }

  // const-list := name "=" const-expr { "," name "=" const-expr }
  void ParseConstList(std::vector<ConstDecl>& into, bool isPublic) {
    do {
      const Token& at = Peek();
      ConstDecl c;
      c.name = ExpectIdentifier();
      c.folded = FoldCase(c.name);
      c.isPublic = isPublic;
      c.line = at.line;
      c.column = at.column;
      Expect(Tok::Equal, err::kExpectedEqual);
      c.expr = ParseExpression();
      into.push_back(std::move(c));
    } while (Accept(Tok::Comma));
  }

  // dim-list := (Dim|Public|Private) dim-var { "," dim-var }
  // dim-var := name [ "(" [ integer { "," integer } ] ")" ]
  StmtPtr ParseDimList(const Token& at) {
    if (At(Tok::Dim)) Next();
    auto s = Node<DimStmt>(at);
    do {
      s->vars.push_back(ParseDimVar(false));
    } while (Accept(Tok::Comma));
    return s;
  }

  DimVar ParseDimVar(bool isReDim) {
    DimVar v;
    const Token& at = Peek();
    v.target = Node<NameExpr>(at);
    v.target->name = ExpectIdentifier();
    v.target->folded = FoldCase(v.target->name);
    if (Accept(Tok::LParen)) {
      v.isArray = true;
      if (!At(Tok::RParen)) {
        do {
          if (isReDim) {
            v.bounds.push_back(ParseExpression());
          } else {
            // Dim bounds are integer constants (or named constants, checked by the binder).
            v.bounds.push_back(ParseExpression());
          }
        } while (Accept(Tok::Comma));
      }
      Expect(Tok::RParen, err::kExpectedRParen);
      if (isReDim && v.bounds.empty()) Fail(err::kExpectedExpression);
    }
    return v;
  }

  // redim := ReDim [Preserve] name "(" bounds ")" { "," name "(" bounds ")" }
  StmtPtr ParseReDim() {
    auto s = Node<ReDimStmt>(Next());
    s->preserve = Accept(Tok::Preserve);
    do {
      DimVar v = ParseDimVar(true);
      if (!v.isArray) Fail(err::kExpectedLParen);
      s->vars.push_back(std::move(v));
    } while (Accept(Tok::Comma));
    return s;
  }

  // procedure := [Public [Default] | Private] (Sub | Function | Property (Get|Let|Set)) name
  //              [ "(" params ")" ] block End (Sub | Function | Property)
  std::unique_ptr<Procedure> ParseProcedure(bool isPublic, bool isDefault, ClassDecl* owner) {
    if (procedure_) Fail(err::kExpectedStatement);
    auto proc = std::make_unique<Procedure>();
    const Token& at = Next();
    proc->line = at.line;
    proc->column = at.column;
    proc->isPublic = isPublic;
    proc->isDefault = isDefault;
    Tok closer = at.tok;
    if (at.tok == Tok::Sub) {
      proc->kind = ProcKind::Sub;
    } else if (at.tok == Tok::Function) {
      proc->kind = ProcKind::Function;
    } else {
      closer = Tok::Identifier;  // Property
      if (Accept(Tok::Get))
        proc->kind = ProcKind::PropertyGet;
      else if (Accept(Tok::Let))
        proc->kind = ProcKind::PropertyLet;
      else if (Accept(Tok::Set))
        proc->kind = ProcKind::PropertySet;
      else
        Fail(err::kExpectedLetSetGet);
    }
    if (isDefault && proc->kind != ProcKind::PropertyGet && proc->kind != ProcKind::Function &&
        proc->kind != ProcKind::Sub)
      Fail(err::kDefaultOnlyOnGet);
    proc->name = ExpectIdentifier();
    proc->folded = FoldCase(proc->name);
    if (Accept(Tok::LParen)) {
      if (!At(Tok::RParen)) {
        do {
          ParamDecl p;
          if (Accept(Tok::ByVal))
            p.byVal = true;
          else
            Accept(Tok::ByRef);
          p.name = ExpectIdentifier();
          if (Accept(Tok::LParen)) Expect(Tok::RParen, err::kExpectedRParen);
          proc->params.push_back(std::move(p));
        } while (Accept(Tok::Comma));
      }
      Expect(Tok::RParen, err::kExpectedRParen);
    }
    if ((proc->kind == ProcKind::PropertyLet || proc->kind == ProcKind::PropertySet) &&
        proc->params.empty())
      FailAt(err::kPropertyLetSetArgs, at);
    proc->owner = owner;
    ExpectLineEnd();
    procedure_ = proc.get();
    proc->body = ParseBlock();
    procedure_ = nullptr;
    Expect(Tok::End, err::kExpectedEnd);
    if (closer == Tok::Sub)
      Expect(Tok::Sub, err::kExpectedSub);
    else if (closer == Tok::Function)
      Expect(Tok::Function, err::kExpectedFunction);
    else if (AtWord(u"property"))
      Next();
    else
      Fail(err::kExpectedProperty);
    return proc;
  }

  // class := Class name separator { member separator } End Class
  // member := [Public [Default] | Private] (procedure | field-list) | Dim field-list | Const ...
  void ParseClass() {
    const Token& at = Next();
    auto cls = std::make_unique<ClassDecl>();
    cls->line = at.line;
    cls->column = at.column;
    cls->name = ExpectIdentifier();
    cls->folded = FoldCase(cls->name);
    ExpectLineEnd();
    while (true) {
      SkipSeparators();
      if (At(Tok::End)) break;
      if (At(Tok::EndOfFile)) Fail(err::kExpectedEnd);
      bool isPublic = true, isDefault = false, explicitScope = false;
      const Token& memberAt = Peek();
      if (At(Tok::Public) || At(Tok::Private)) {
        isPublic = Next().tok == Tok::Public;
        explicitScope = true;
        if (AtWord(u"default")) {
          if (!isPublic) Fail(err::kDefaultMustBePublic);
          Next();
          isDefault = true;
        }
      }
      if (At(Tok::Sub) || At(Tok::Function) || AtWord(u"property")) {
        auto proc = ParseProcedure(isPublic, isDefault, cls.get());
        cls->procedures.push_back(std::move(proc));
      } else if (At(Tok::Dim) || explicitScope) {
        if (isDefault) Fail(err::kDefaultOnlyOnProperty);
        if (At(Tok::Dim)) Next();
        do {
          FieldDecl f;
          f.name = ExpectIdentifier();
          f.folded = FoldCase(f.name);
          f.isPublic = isPublic;
          if (Accept(Tok::LParen)) {
            f.isArray = true;
            if (!At(Tok::RParen)) {
              do {
                bool negative = Accept(Tok::Minus);
                if (!At(Tok::Integer)) Fail(err::kExpectedInteger);
                double n = Next().number;
                f.bounds.push_back(static_cast<std::int32_t>(negative ? -n : n));
              } while (Accept(Tok::Comma));
            }
            Expect(Tok::RParen, err::kExpectedRParen);
          }
          cls->fields.push_back(std::move(f));
        } while (Accept(Tok::Comma));
      } else if (At(Tok::Const)) {
        // A class-level constant is a read-only public field in effect; kept simple as a field.
        Fail(err::kExpectedStatement);
      } else {
        FailAt(err::kExpectedStatement, memberAt);
      }
      ExpectEndOfStatement();
    }
    Expect(Tok::End, err::kExpectedEnd);
    Expect(Tok::Class, err::kExpectedClass);
    program_.classes.push_back(std::move(cls));
  }

  // if := If expr Then (separator block {ElseIf expr Then block} [Else block] End If
  //                     | statement-list [Else statement-list])
  StmtPtr ParseIf() {
    const Token& at = Next();
    auto s = Node<IfStmt>(at);
    ExprPtr cond = ParseExpression();
    Expect(Tok::Then, err::kExpectedThen);
    if (At(Tok::NewLine) || At(Tok::EndOfFile) || At(Tok::Colon)) {
      Block body = ParseBlock();
      s->branches.emplace_back(std::move(cond), std::move(body));
      while (At(Tok::ElseIf)) {
        Next();
        ExprPtr c = ParseExpression();
        Expect(Tok::Then, err::kExpectedThen);
        Block b = ParseBlock();
        s->branches.emplace_back(std::move(c), std::move(b));
      }
      if (Accept(Tok::Else)) s->elseBlock = ParseBlock();
      Expect(Tok::End, err::kExpectedEnd);
      Expect(Tok::If, err::kExpectedIf);
      return s;
    }
    // Single-line form: everything up to the end of the line.
    DepthGuard guard(*this);
    ++singleLineIf_;
    Block body = ParseLineStatements();
    s->branches.emplace_back(std::move(cond), std::move(body));
    if (Accept(Tok::Else)) s->elseBlock = ParseLineStatements();
    --singleLineIf_;
    if (At(Tok::End) && Peek(1).tok == Tok::If) {  // a stray "End If" after a one-line If
      Next();
      Next();
    }
    return s;
  }

  Block ParseLineStatements() {
    Block b;
    while (true) {
      while (Accept(Tok::Colon)) {
      }
      if (At(Tok::NewLine) || At(Tok::EndOfFile) || At(Tok::Else) || At(Tok::End)) break;
      ParseStatement(b);
      if (!AtEndOfStatement()) Fail(err::kExpectedEndOfStatement);
    }
    return b;
  }

  // select := Select Case expr separator { Case (Else | expr {"," expr}) block } End Select
  StmtPtr ParseSelect() {
    const Token& at = Next();
    Expect(Tok::Case, err::kExpectedCase);
    auto s = Node<SelectStmt>(at);
    s->subject = ParseExpression();
    ExpectLineEnd();
    SkipSeparators();
    while (Accept(Tok::Case)) {
      if (Accept(Tok::Else)) {
        s->hasElse = true;
        s->elseBlock = ParseBlock();
        break;
      }
      CaseClause c;
      do {
        c.values.push_back(ParseExpression());
      } while (Accept(Tok::Comma));
      c.body = ParseBlock();
      s->cases.push_back(std::move(c));
    }
    Expect(Tok::End, err::kExpectedEnd);
    Expect(Tok::Select, err::kExpectedSelect);
    return s;
  }

  // for := For name "=" expr To expr [Step expr] block Next [name]
  //      | For Each name In expr block Next [name]
  StmtPtr ParseFor() {
    const Token& at = Next();
    if (Accept(Tok::Each)) {
      auto s = Node<ForEachStmt>(at);
      s->element = ParseNameTarget();
      Expect(Tok::In, err::kExpectedIn);
      s->group = ParseExpression();
      ExpectLineEnd();
      ++loops_;
      s->body = ParseBlock();
      --loops_;
      ExpectNext();
      return s;
    }
    auto s = Node<ForStmt>(at);
    if (!At(Tok::Identifier)) Fail(err::kInvalidForVariable);
    s->counter = ParseNameTarget();
    Expect(Tok::Equal, err::kExpectedEqual);
    s->from = ParseExpression();
    Expect(Tok::To, err::kExpectedTo);
    s->to = ParseExpression();
    if (Accept(Tok::Step)) s->step = ParseExpression();
    ExpectLineEnd();
    ++loops_;
    s->body = ParseBlock();
    --loops_;
    ExpectNext();
    return s;
  }

  void ExpectNext() {
    Expect(Tok::Next, err::kExpectedNext);
    if (At(Tok::Identifier)) Next();
  }

  ExprPtr ParseNameTarget() {
    const Token& at = Peek();
    auto n = Node<NameExpr>(at);
    n->name = ExpectIdentifier();
    n->folded = FoldCase(n->name);
    return n;
  }

  // do := Do [(While|Until) expr] block Loop [(While|Until) expr]
  StmtPtr ParseDo() {
    auto s = Node<DoStmt>(Next());
    if (Accept(Tok::While)) {
      s->test = LoopTest::PreWhile;
      s->condition = ParseExpression();
    } else if (Accept(Tok::Until)) {
      s->test = LoopTest::PreUntil;
      s->condition = ParseExpression();
    }
    ExpectLineEnd();
    ++loops_;
    s->body = ParseBlock();
    --loops_;
    Expect(Tok::Loop, err::kExpectedLoop);
    if (At(Tok::While) || At(Tok::Until)) {
      if (s->test != LoopTest::None) Fail(err::kExpectedEndOfStatement);
      s->test = Next().tok == Tok::While ? LoopTest::PostWhile : LoopTest::PostUntil;
      s->condition = ParseExpression();
    }
    return s;
  }

  // while := While expr block Wend
  StmtPtr ParseWhile() {
    auto s = Node<DoStmt>(Next());
    s->test = LoopTest::PreWhile;
    s->condition = ParseExpression();
    ExpectLineEnd();
    ++loops_;
    s->body = ParseBlock();
    --loops_;
    Expect(Tok::Wend, err::kExpectedWend);
    return s;
  }

  // with := With expr block End With
  StmtPtr ParseWith() {
    auto s = Node<WithStmt>(Next());
    s->object = ParseExpression();
    ExpectLineEnd();
    s->body = ParseBlock();
    Expect(Tok::End, err::kExpectedEnd);
    Expect(Tok::With, err::kExpectedWith);
    return s;
  }

  // exit := Exit (Do | For | Sub | Function | Property)
  StmtPtr ParseExit() {
    const Token& at = Next();
    auto s = Node<ExitStmt>(at);
    ProcKind kind = procedure_ ? procedure_->kind : ProcKind::Sub;
    if (Accept(Tok::Do))
      s->what = ExitKind::Do;
    else if (Accept(Tok::For))
      s->what = ExitKind::For;
    else if (Accept(Tok::Sub)) {
      if (!procedure_ || kind != ProcKind::Sub) FailAt(err::kInvalidExit, at);
      s->what = ExitKind::Sub;
    } else if (Accept(Tok::Function)) {
      if (!procedure_ || kind != ProcKind::Function) FailAt(err::kInvalidExit, at);
      s->what = ExitKind::Function;
    } else if (AtWord(u"property")) {
      Next();
      if (!procedure_ || kind == ProcKind::Sub || kind == ProcKind::Function)
        FailAt(err::kInvalidExit, at);
      s->what = ExitKind::Property;
    } else {
      Fail(err::kInvalidExit);
    }
    if ((s->what == ExitKind::Do || s->what == ExitKind::For) && loops_ == 0)
      FailAt(err::kInvalidExit, at);
    return s;
  }

  // on-error := On Error (Resume Next | GoTo 0)
  StmtPtr ParseOnError() {
    auto s = Node<OnErrorStmt>(Next());
    if (!AtWord(u"error")) Fail(err::kSyntaxError);
    Next();
    if (Accept(Tok::Resume)) {
      Expect(Tok::Next, err::kSyntaxError);
      s->resumeNext = true;
    } else if (Accept(Tok::GoTo)) {
      if (!At(Tok::Integer) || Peek().number != 0) Fail(err::kSyntaxError);
      Next();
    } else {
      Fail(err::kSyntaxError);
    }
    return s;
  }

  // call := Call callee [ "(" args ")" ]
  StmtPtr ParseCall() {
    const Token& at = Next();
    auto s = Node<CallStmt>(at);
    ExprPtr target = ParseChain(kNoStop, true);
    if (target->kind != ExprKind::Name && target->kind != ExprKind::Member &&
        target->kind != ExprKind::Index)
      FailAt(err::kExpectedIdentifier, at);
    s->call = std::move(target);
    return s;
  }

  enum class AssignKind : std::uint8_t { Either, Let, Set };
  static constexpr std::size_t kNoStop = static_cast<std::size_t>(-1);

  // assignment := target "=" expr ; call-statement := callee [ args-without-parentheses ]
  StmtPtr ParseAssignmentOrCall(const Token& at, AssignKind kind) {
    std::size_t start = pos_;
    lastArgsOpen_ = kNoStop;
    ExprPtr target = ParseChain(kNoStop, true);
    if (Accept(Tok::Equal)) {
      auto s = Node<AssignStmt>(at);
      s->isSet = kind == AssignKind::Set;
      if (target->kind == ExprKind::Me) FailAt(err::kInvalidUseOfMe, at);
      if (target->kind != ExprKind::Name && target->kind != ExprKind::Member &&
          target->kind != ExprKind::Index)
        FailAt(err::kExpectedStatement, at);
      s->target = std::move(target);
      s->value = ParseExpression();
      return s;
    }
    if (kind != AssignKind::Either) Fail(err::kExpectedEqual);
    auto s = Node<CallStmt>(at);
    if (AtEndOfStatement()) {
      ArgList* args = ArgsOf(*target);
      if (!args) FailAt(err::kExpectedStatement, at);
      if (args->present && args->items.size() > 1) FailAt(err::kCannotUseParentheses, at);
      if (args->present && args->items.size() == 1 && args->items[0]) {
        // Foo(x): the parentheses belong to the argument, which is passed by value.
        auto paren = Node<UnaryExpr>(at);
        paren->op = UnaryOp::Paren;
        paren->line = args->items[0]->line;
        paren->column = args->items[0]->column;
        paren->operand = std::move(args->items[0]);
        args->items[0] = std::move(paren);
      }
      s->call = std::move(target);
      return s;
    }
    // Arguments without parentheses follow. If the callee ended in "(...)", those parentheses
    // began the first argument ("Foo (a) + 1, b"): parse the callee again, stopping there.
    ArgList* args = ArgsOf(*target);
    if (args && args->present && lastArgsOpen_ != kNoStop) {
      std::size_t stop = lastArgsOpen_;
      pos_ = start;
      target = ParseChain(stop, true);
      args = ArgsOf(*target);
    }
    if (!args || args->present) Fail(err::kExpectedEndOfStatement);
    args->present = true;
    ParseBareArguments(*args);
    s->call = std::move(target);
    return s;
  }

  static ArgList* ArgsOf(Expr& e) {
    switch (e.kind) {
      case ExprKind::Name:
        return &static_cast<NameExpr&>(e).args;
      case ExprKind::Member:
        return &static_cast<MemberExpr&>(e).args;
      case ExprKind::Index:
        return &static_cast<IndexExpr&>(e).args;
      default:
        return nullptr;
    }
  }

  // args-without-parentheses := [expr] { "," [expr] }
  void ParseBareArguments(ArgList& args) {
    while (true) {
      if (At(Tok::Comma)) {
        args.items.push_back(nullptr);
      } else {
        args.items.push_back(ParseExpression());
      }
      if (!Accept(Tok::Comma)) break;
      if (AtEndOfStatement()) Fail(err::kExpectedExpression);
    }
  }

  // ---- expressions

  // expression := operand { binary-operator operand }, by the precedence table
  ExprPtr ParseExpression() { return ParseSubExpression(0); }

  ExprPtr ParseSubExpression(int limit) {
    DepthGuard guard(*this);
    ExprPtr left;
    const Token& at = Peek();
    if (At(Tok::Not) || At(Tok::Minus) || At(Tok::Plus)) {
      Tok t = Next().tok;
      auto u = Node<UnaryExpr>(at);
      u->op = t == Tok::Not ? UnaryOp::Not : t == Tok::Minus ? UnaryOp::Negate : UnaryOp::Plus;
      u->operand = ParseSubExpression(t == Tok::Not ? kNotPrecedence : kNegatePrecedence);
      left = std::move(u);
    } else {
      left = ParseOperand();
    }
    int links = 0;
    while (const BinaryRule* rule = BinaryRuleOf(Peek().tok)) {
      if (rule->precedence <= limit) break;
      if (++links > kMaxChain) Fail(err::kOutOfStackSpace);
      const Token& opAt = Next();
      auto b = Node<BinaryExpr>(opAt);
      b->line = left->line;
      b->column = left->column;
      b->op = rule->op;
      b->left = std::move(left);
      b->right = ParseSubExpression(rule->precedence);
      if (IsComparison(b->op)) {
        b->leftLiteral = IsLiteral(*b->left);
        b->rightLiteral = IsLiteral(*b->right);
      }
      left = std::move(b);
    }
    return left;
  }

  static bool IsLiteral(const Expr& e) {
    if (e.kind == ExprKind::Literal) return true;
    if (e.kind == ExprKind::Unary) {
      const auto& u = static_cast<const UnaryExpr&>(e);
      return (u.op == UnaryOp::Negate || u.op == UnaryOp::Paren) && IsLiteral(*u.operand);
    }
    return false;
  }

  // operand := literal | "(" expression ")" | New name | chain
  ExprPtr ParseOperand() {
    const Token& t = Peek();
    switch (t.tok) {
      case Tok::Integer: {
        Next();
        auto l = Node<LiteralExpr>(t);
        if (t.number >= -32768 && t.number <= 32767)
          l->value = Variant(static_cast<std::int16_t>(t.number));
        else
          l->value = Variant(static_cast<std::int32_t>(t.number));
        return l;
      }
      case Tok::Float:
        return Literal(t, Variant(t.number));
      case Tok::String:
        return Literal(t, Variant(t.text));
      case Tok::Date:
        return Literal(t, Variant::Date(t.number));
      case Tok::True:
        return Literal(t, Variant(true));
      case Tok::False:
        return Literal(t, Variant(false));
      case Tok::Empty:
        return Literal(t, Variant());
      case Tok::Null:
        return Literal(t, Variant::Null());
      case Tok::Nothing:
        return Literal(t, Variant::Nothing());
      case Tok::New: {
        Next();
        auto n = Node<NewExpr>(t);
        n->className = ExpectIdentifier();
        n->folded = FoldCase(n->className);
        return n;
      }
      case Tok::LParen: {
        Next();
        auto p = Node<UnaryExpr>(t);
        p->op = UnaryOp::Paren;
        p->operand = ParseExpression();
        Expect(Tok::RParen, err::kExpectedRParen);
        // "(a).b" and "(a)(1)" are not the language's; the parenthesised value stands alone.
        return p;
      }
      case Tok::Identifier:
      case Tok::Dot:
      case Tok::Me:
        return ParseChain(kNoStop, false);
      default:
        Fail(err::kExpectedExpression);
    }
  }

  ExprPtr Literal(const Token& t, Variant v) {
    Next();
    auto l = Node<LiteralExpr>(t);
    l->value = std::move(v);
    return l;
  }

  // chain := (name | "." name | Me) { "." name | "(" args ")" }
  // In a statement, "Foo .Bar" (a blank before the dot) passes the With member .Bar to Foo,
  // and the chain stops before the "(" at token index `stopAt`.
  ExprPtr ParseChain(std::size_t stopAt, bool statementHead) {
    DepthGuard guard(*this);
    const Token& at = Peek();
    ExprPtr e;
    if (Accept(Tok::Dot)) {
      auto m = Node<MemberExpr>(at);
      m->name = ExpectMemberName();
      e = std::move(m);
    } else if (Accept(Tok::Me)) {
      e = Node<MeExpr>(at);
    } else {
      auto n = Node<NameExpr>(at);
      n->name = ExpectIdentifier();
      n->folded = FoldCase(n->name);
      e = std::move(n);
    }
    int links = 0;
    while (true) {
      if ((At(Tok::LParen) || At(Tok::Dot)) && ++links > kMaxChain) Fail(err::kOutOfStackSpace);
      if (At(Tok::LParen)) {
        if (pos_ == stopAt) break;
        std::size_t open = pos_;
        ArgList* args = ArgsOf(*e);
        if (!args || args->present) {
          auto idx = Node<IndexExpr>(Peek());
          idx->line = e->line;
          idx->column = e->column;
          idx->target = std::move(e);
          e = std::move(idx);
          args = ArgsOf(*e);
        }
        ParseParenArguments(*args);
        if (statementHead) lastArgsOpen_ = open;
        continue;
      }
      if (At(Tok::Dot)) {
        if (statementHead && Peek().spaceBefore && e->kind == ExprKind::Name) break;
        Next();
        auto m = Node<MemberExpr>(Peek());
        m->line = e->line;
        m->column = e->column;
        m->object = std::move(e);
        m->name = ExpectMemberName();
        e = std::move(m);
        if (statementHead) lastArgsOpen_ = kNoStop;
        continue;
      }
      break;
    }
    return e;
  }

  // args := "(" [ [expr] { "," [expr] } ] ")"
  void ParseParenArguments(ArgList& args) {
    DepthGuard guard(*this);
    Expect(Tok::LParen, err::kExpectedLParen);
    args.present = true;
    if (Accept(Tok::RParen)) return;
    while (true) {
      if (At(Tok::Comma) || At(Tok::RParen)) {
        args.items.push_back(nullptr);
      } else {
        args.items.push_back(ParseExpression());
      }
      if (!Accept(Tok::Comma)) break;
    }
    Expect(Tok::RParen, err::kExpectedRParen);
  }

  std::vector<Token> toks_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  int loops_ = 0;
  int singleLineIf_ = 0;
  std::size_t lastArgsOpen_ = kNoStop;
  Procedure* procedure_ = nullptr;
  Program& program_;
};

}  // namespace

automation::Ref<Program> Parse(std::u16string_view source, ParseMode mode) {
  auto program = automation::MakeRef<Program>();
  Parser parser(Tokenize(source), *program);
  if (mode == ParseMode::Expression) {
    program->expression = parser.ParseSoleExpression();
  } else {
    parser.ParseProgram();
  }
  return program;
}

}  // namespace telvinor::vbscript
