#pragma once
// EngineHandle: what the scripts hold as "Engine". Every call goes to the interpreter, by the
// interpreter's own member table, so scripts see exactly its members, dispatch ids and
// TypeName.
//
// Why not the interpreter itself: the script host keeps its named objects, and scripts may
// keep "Engine" in their variables, while the interpreter keeps the script host. Holding the
// interpreter from there would make a cycle that only UnInit breaks, and a host that forgets
// UnInit would leak the interpreter, its window, its documents and its scripts. The handle
// does not keep the interpreter alive; the interpreter detaches it when it goes, and a call
// through a detached handle raises 424 "Object required".

#include "automation/ClassInfo.h"

namespace telvinor::interpreter {

class clsInterpretor;

class EngineHandle final : public automation::Dispatch {
 public:
  explicit EngineHandle(clsInterpretor& target) noexcept : target_(&target) {}
  void Detach() noexcept { target_ = nullptr; }
  [[nodiscard]] clsInterpretor* Target() const noexcept { return target_; }

  [[nodiscard]] automation::DispId GetIdOfName(std::u16string_view name) const override;
  automation::Variant Invoke(automation::DispId id, automation::InvokeKind kind,
                             std::span<automation::Variant> args) override;
  [[nodiscard]] std::u16string_view TypeName() const override;
  [[nodiscard]] const automation::ClassInfo* Info() const noexcept override;

 private:
  clsInterpretor* target_;
};

}  // namespace telvinor::interpreter
