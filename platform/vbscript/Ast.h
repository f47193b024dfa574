#pragma once
// The syntax tree, resolved: after the binder has run, every name node knows whether it is a
// local slot, a field of the class instance, a constant, or a global to look up (once, then
// cached until the set of global names changes). The interpreter walks this tree.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "automation/Dispatch.h"
#include "automation/RefCounted.h"
#include "automation/Variant.h"

namespace telvinor::vbscript {

using automation::Variant;

struct Procedure;
struct Program;
struct ClassDecl;
class Module;
struct Builtin;

enum class BinaryOp : std::uint8_t {
  Imp,
  Eqv,
  Xor,
  Or,
  And,
  Equal,
  NotEqual,
  Less,
  Greater,
  LessEqual,
  GreaterEqual,
  Is,
  Concat,
  Add,
  Subtract,
  Mod,
  IntDivide,
  Multiply,
  Divide,
  Power,
};
enum class UnaryOp : std::uint8_t { Not, Negate, Plus, Paren };

enum class ExprKind : std::uint8_t { Literal, Name, Member, Index, Unary, Binary, New, Me };

// Where a global name led, cached in the node that names it.
enum class GlobalKind : std::uint8_t {
  Unresolved,
  Variable,       // a module's variable (var)
  Constant,       // a module's constant (var, read-only)
  Procedure,      // proc
  Class,          // cls
  NamedObject,    // object added by the host (object)
  Builtin,        // builtin
  GlobalMember,   // a member of an object added with its members global (object, id)
  ImplicitLocal,  // not found: the procedure's own implicit variable (slot of the name node)
  Undefined,      // not found, under Option Explicit or in a context without locals
};

struct GlobalCache {
  std::uint32_t epoch = 0;  // the engine's binding epoch when this was filled; 0 = never
  GlobalKind kind = GlobalKind::Unresolved;
  Variant* var = nullptr;
  Procedure* proc = nullptr;
  ClassDecl* cls = nullptr;
  automation::Dispatch* object = nullptr;
  const Builtin* builtin = nullptr;
  automation::DispId id = 0;
};

// How a name was bound at compile time.
enum class NameBinding : std::uint8_t {
  Unbound,
  Local,     // slot in the frame (parameters, Dim'd and implicit variables, a function's result)
  Field,     // slot in the class instance (Me)
  Method,    // a member procedure of the enclosing class, called on Me
  Constant,  // a literal known at compile time (local or module Const)
  Global,    // looked up at run time, cached
};

// A member access cache: the dispatch id of `name` for objects of one class.
struct MemberCache {
  const void* classKey =
      nullptr;  // ClassInfo* of table-driven objects, ClassDecl* of script objects
  automation::DispId id = automation::kDispIdUnknown;
  int member = -1;  // script objects: index of the member in the class
};

struct Expr {
  explicit Expr(ExprKind k) : kind(k) {}
  virtual ~Expr() = default;
  ExprKind kind;
  std::uint32_t line = 0, column = 0;
};
using ExprPtr = std::unique_ptr<Expr>;

struct LiteralExpr : Expr {
  LiteralExpr() : Expr(ExprKind::Literal) {}
  Variant value;
};

struct ArgList {
  bool present = false;        // "f()" or "f(x)" as against "f"
  std::vector<ExprPtr> items;  // a missing argument ("f(a, , c)") is null
};

struct NameExpr : Expr {
  NameExpr() : Expr(ExprKind::Name) {}
  std::u16string name;    // as written
  std::u16string folded;  // lower-cased, the key of every lookup
  ArgList args;
  NameBinding binding = NameBinding::Unbound;
  std::int32_t slot = -1;  // Local / Field / Method index; ImplicitLocal fallback for Global
  Variant constant;        // Constant
  GlobalCache cache;
  bool isResultOfFunction = false;  // the enclosing function's own name (its result)
};

// object.name(args); object null inside With: ".name".
struct MemberExpr : Expr {
  MemberExpr() : Expr(ExprKind::Member) {}
  ExprPtr object;
  std::u16string name;
  ArgList args;
  MemberCache cache;
};

// A call or index applied to the value of another expression: a(1)(2), f(x).Items(3)(0).
struct IndexExpr : Expr {
  IndexExpr() : Expr(ExprKind::Index) {}
  ExprPtr target;
  ArgList args;
};

struct UnaryExpr : Expr {
  UnaryExpr() : Expr(ExprKind::Unary) {}
  UnaryOp op = UnaryOp::Not;
  ExprPtr operand;
};

struct BinaryExpr : Expr {
  BinaryExpr() : Expr(ExprKind::Binary) {}
  BinaryOp op = BinaryOp::Add;
  ExprPtr left, right;
  // Comparisons of a variable with a literal convert the variable to the literal's kind
  // ("10" = 10 is True, while two variables "10" and 10 compare as text and number).
  bool leftLiteral = false, rightLiteral = false;
};

struct NewExpr : Expr {
  NewExpr() : Expr(ExprKind::New) {}
  std::u16string className, folded;
  GlobalCache cache;
};

struct MeExpr : Expr {
  MeExpr() : Expr(ExprKind::Me) {}
};

// ---- Statements

enum class StmtKind : std::uint8_t {
  Call,
  Assign,
  Dim,
  ReDim,
  Erase,
  If,
  Select,
  For,
  ForEach,
  Do,
  With,
  Exit,
  OnError,
  Nop,
};

struct Stmt {
  explicit Stmt(StmtKind k) : kind(k) {}
  virtual ~Stmt() = default;
  StmtKind kind;
  std::uint32_t line = 0, column = 0;
};
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

struct CallStmt : Stmt {
  CallStmt() : Stmt(StmtKind::Call) {}
  ExprPtr call;  // Name, Member or Index
};

struct AssignStmt : Stmt {
  AssignStmt() : Stmt(StmtKind::Assign) {}
  ExprPtr target;
  ExprPtr value;
  bool isSet = false;
  // "s = s & x" with s a plain local or module variable: appended in place.
  bool appendsToTarget = false;
};

struct DimVar {
  std::unique_ptr<NameExpr> target;
  std::vector<ExprPtr> bounds;  // upper bounds; empty for a scalar
  bool isArray = false;         // "Dim a()" is a dynamic array without bounds
};

struct DimStmt : Stmt {
  DimStmt() : Stmt(StmtKind::Dim) {}
  std::vector<DimVar> vars;
};

struct ReDimStmt : Stmt {
  ReDimStmt() : Stmt(StmtKind::ReDim) {}
  bool preserve = false;
  std::vector<DimVar> vars;
};

struct EraseStmt : Stmt {
  EraseStmt() : Stmt(StmtKind::Erase) {}
  ExprPtr target;
};

struct IfStmt : Stmt {
  IfStmt() : Stmt(StmtKind::If) {}
  std::vector<std::pair<ExprPtr, Block>> branches;  // If and ElseIf
  Block elseBlock;
};

struct CaseClause {
  std::vector<ExprPtr> values;
  Block body;
};

struct SelectStmt : Stmt {
  SelectStmt() : Stmt(StmtKind::Select) {}
  ExprPtr subject;
  std::vector<CaseClause> cases;
  bool hasElse = false;
  Block elseBlock;
};

struct ForStmt : Stmt {
  ForStmt() : Stmt(StmtKind::For) {}
  ExprPtr counter;
  ExprPtr from, to, step;
  Block body;
};

struct ForEachStmt : Stmt {
  ForEachStmt() : Stmt(StmtKind::ForEach) {}
  ExprPtr element;
  ExprPtr group;
  Block body;
};

enum class LoopTest : std::uint8_t { None, PreWhile, PreUntil, PostWhile, PostUntil };

struct DoStmt : Stmt {
  DoStmt() : Stmt(StmtKind::Do) {}
  LoopTest test = LoopTest::None;
  ExprPtr condition;
  Block body;
};

struct WithStmt : Stmt {
  WithStmt() : Stmt(StmtKind::With) {}
  ExprPtr object;
  Block body;
};

enum class ExitKind : std::uint8_t { None, Do, For, Sub, Function, Property };

struct ExitStmt : Stmt {
  ExitStmt() : Stmt(StmtKind::Exit) {}
  ExitKind what = ExitKind::Sub;
};

struct OnErrorStmt : Stmt {
  OnErrorStmt() : Stmt(StmtKind::OnError) {}
  bool resumeNext = false;
};

// ---- Declarations

struct ConstDecl {
  std::u16string name, folded;
  ExprPtr expr;  // as written; the binder folds it to `value`
  Variant value;
  bool isPublic = true;
  std::uint32_t line = 0, column = 0;
};

enum class ProcKind : std::uint8_t { Sub, Function, PropertyGet, PropertyLet, PropertySet };

struct ParamDecl {
  std::u16string name;
  bool byVal = false;
};

struct Procedure {
  std::u16string name, folded;
  ProcKind kind = ProcKind::Sub;
  std::vector<ParamDecl> params;
  Block body;
  std::vector<ConstDecl> constants;  // local Const
  bool isPublic = true;
  bool isDefault = false;
  std::uint32_t line = 0, column = 0;
  // Filled by the binder.
  std::vector<std::u16string> localNames;  // folded; slot 0 is the result, then parameters
  std::vector<Variant> localConstants;     // per slot: a Const's value (Empty otherwise)
  std::int32_t slotCount = 0;
  ClassDecl* owner = nullptr;  // the class of a member procedure
  Module* module = nullptr;
  Program* program = nullptr;  // the compiled code that owns this procedure
  bool optionExplicit = false;
  [[nodiscard]] bool ReturnsValue() const noexcept {
    return kind == ProcKind::Function || kind == ProcKind::PropertyGet;
  }
};

struct FieldDecl {
  std::u16string name, folded;
  bool isPublic = true;
  std::vector<std::int32_t> bounds;  // a fixed array field: "Private items(10)"
  bool isArray = false;
};

// A member of a script class as the outside sees it: a field, or one name with up to three
// property procedures (Get, Let, Set) or one method.
struct ClassMember {
  std::u16string name, folded;
  bool isPublic = true;
  std::int32_t field = -1;
  Procedure* method = nullptr;  // Sub or Function
  Procedure* get = nullptr;
  Procedure* let = nullptr;
  Procedure* set = nullptr;
};

struct ClassDecl {
  std::u16string name, folded;
  std::uint32_t line = 0, column = 0;
  std::vector<FieldDecl> fields;
  std::vector<std::unique_ptr<Procedure>> procedures;
  // Filled by the binder.
  std::vector<ClassMember> members;
  std::int32_t defaultMember = -1;
  Procedure* initialize = nullptr;
  Procedure* terminate = nullptr;
  Module* module = nullptr;
  Program* program = nullptr;
  [[nodiscard]] int FindMember(std::u16string_view folded) const;
};

// One piece of source as the parser gives it: what AddCode, ExecuteStatement, Execute and
// Eval compile.
struct Program : automation::RefCounted {
  Block statements;
  std::vector<std::unique_ptr<Procedure>> procedures;
  std::vector<std::unique_ptr<ClassDecl>> classes;
  std::vector<ConstDecl> constants;  // module-level Const (hoisted: known before any code runs)
  bool optionExplicit = false;
  ExprPtr expression;  // Eval: the one expression
  // Filled by the binder: module variables the code declares (Dim, Public, Private at module
  // level), folded.
  std::vector<std::u16string> declaredVariables;
};

}  // namespace telvinor::vbscript
