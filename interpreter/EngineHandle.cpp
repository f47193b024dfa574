#include "EngineHandle.h"

#include "clsInterpretor.h"

namespace telvinor::interpreter {

using automation::DispId;
using automation::Variant;

DispId EngineHandle::GetIdOfName(std::u16string_view name) const {
  return clsInterpretor::Class().IdOfName(name);
}

Variant EngineHandle::Invoke(DispId id, automation::InvokeKind kind, std::span<Variant> args) {
  if (!target_) automation::ThrowError(automation::errc::kObjectRequired);
  // The call may end in the host releasing the interpreter (from an event handler).
  automation::Ref<clsInterpretor> hold(target_);
  return hold->Invoke(id, kind, args);
}

std::u16string_view EngineHandle::TypeName() const {
  return clsInterpretor::Class().name;
}

const automation::ClassInfo* EngineHandle::Info() const noexcept {
  return &clsInterpretor::Class();
}

}  // namespace telvinor::interpreter
