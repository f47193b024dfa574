#pragma once
// Instances of script classes (Class ... End Class) and procedure references (GetRef), as
// automation objects: hosts and other objects call them like any other Dispatch.

#include <vector>

#include "automation/Dispatch.h"
#include "vbscript/Ast.h"
#include "vbscript/Engine.h"

namespace telvinor::vbscript {

class ScriptObject : public automation::Dispatch, public ResetClearable {
 public:
  ScriptObject(ClassDecl& cls, automation::Ref<Program> program, automation::Ref<EngineLink> link);
  ~ScriptObject() override;

  [[nodiscard]] automation::DispId GetIdOfName(std::u16string_view name) const override;
  Variant Invoke(automation::DispId id, automation::InvokeKind kind,
                 std::span<Variant> args) override;
  [[nodiscard]] std::u16string_view TypeName() const override { return cls_.name; }

  [[nodiscard]] ClassDecl& Class() const noexcept { return cls_; }
  [[nodiscard]] bool Alive() const noexcept { return link_->interpreter != nullptr; }
  std::vector<Variant> fields;

  void ClearForReset() noexcept override;
  [[nodiscard]] automation::Dispatch* AsDispatch() noexcept override { return this; }

 protected:
  void FinalRelease() const noexcept override;

 private:
  ClassDecl& cls_;
  automation::Ref<Program> program_;
  automation::Ref<EngineLink> link_;
  mutable bool terminated_ = false;
};

// What GetRef returns: calling its default member calls the procedure.
class ProcedureRef : public automation::Dispatch {
 public:
  ProcedureRef(Procedure& proc, automation::Ref<Program> program, automation::Ref<EngineLink> link)
      : proc_(proc), program_(std::move(program)), link_(std::move(link)) {}
  [[nodiscard]] automation::DispId GetIdOfName(std::u16string_view) const override {
    return automation::kDispIdUnknown;
  }
  Variant Invoke(automation::DispId id, automation::InvokeKind kind,
                 std::span<Variant> args) override;
  [[nodiscard]] std::u16string_view TypeName() const override { return u"Object"; }

 private:
  Procedure& proc_;
  automation::Ref<Program> program_;
  automation::Ref<EngineLink> link_;
};

}  // namespace telvinor::vbscript
