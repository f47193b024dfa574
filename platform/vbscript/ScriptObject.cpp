#include "vbscript/ScriptObject.h"

#include "automation/ClassInfo.h"
#include "vbscript/Binder.h"
#include "vbscript/Interpreter.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {

using automation::DispId;
using automation::InvokeKind;

ScriptObject::ScriptObject(ClassDecl& cls, automation::Ref<Program> program,
                           automation::Ref<EngineLink> link)
    : fields(cls.fields.size()), cls_(cls), program_(std::move(program)), link_(std::move(link)) {}

ScriptObject::~ScriptObject() {
  if (link_->interpreter) link_->interpreter->Owner().Untrack(this);
}

void ScriptObject::FinalRelease() const noexcept {
  if (!terminated_ && cls_.terminate && link_->interpreter) {
    terminated_ = true;
    auto* self = const_cast<ScriptObject*>(this);
    AddRef();
    link_->interpreter->Terminate(*self);
    Release();  // the last reference again: now the base deletes the object
    return;
  }
  RefCounted::FinalRelease();
}

void ScriptObject::ClearForReset() noexcept {
  terminated_ = true;  // no Class_Terminate after a reset: its code is gone
  std::vector<Variant> old;
  old.swap(fields);
  fields.resize(old.size());
  // `old` is destroyed here, releasing what the fields held (and breaking cycles).
}

DispId ScriptObject::GetIdOfName(std::u16string_view name) const {
  int m = FindMember(cls_, automation::FoldCase(name));
  if (m < 0 || !cls_.members[static_cast<std::size_t>(m)].isPublic)
    return automation::kDispIdUnknown;
  return m + 1;
}

Variant ScriptObject::Invoke(DispId id, InvokeKind kind, std::span<Variant> args) {
  if (!link_->interpreter) ThrowRuntime(err::kObjectRequired);
  int member = id == automation::kDispIdValue ? cls_.defaultMember : id - 1;
  if (member < 0 || member >= static_cast<int>(cls_.members.size())) {
    ThrowRuntime(err::kObjectDoesNotSupportMember);
  }
  return link_->interpreter->InvokeScriptMember(*this, member, kind, args);
}

Variant ProcedureRef::Invoke(DispId id, InvokeKind, std::span<Variant> args) {
  if (id != automation::kDispIdValue) ThrowRuntime(err::kObjectDoesNotSupportMember);
  if (!link_->interpreter) ThrowRuntime(err::kObjectRequired);
  Interpreter::Session session(*link_->interpreter);
  return link_->interpreter->CallFromHost(proc_, nullptr, args);
}

}  // namespace telvinor::vbscript
