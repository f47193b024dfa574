#pragma once
// The objects a ScriptControl hands out: its Modules collection and a Module.

#include "automation/ClassInfo.h"
#include "vbscript/ScriptControl.h"

namespace telvinor::vbscript {

class ModuleObject : public automation::AutomationObject<ModuleObject> {
 public:
  static const automation::ClassInfo& Class();
  ModuleObject(automation::Ref<ScriptControl> control, std::u16string name)
      : control_(std::move(control)), name_(std::move(name)) {}
  [[nodiscard]] ScriptControl& Control() const noexcept { return *control_; }
  [[nodiscard]] const std::u16string& Name() const noexcept { return name_; }

 private:
  automation::Ref<ScriptControl> control_;
  std::u16string name_;
};

class ModulesObject : public automation::AutomationObject<ModulesObject> {
 public:
  static const automation::ClassInfo& Class();
  explicit ModulesObject(automation::Ref<ScriptControl> control) : control_(std::move(control)) {}
  [[nodiscard]] ScriptControl& Control() const noexcept { return *control_; }

 private:
  automation::Ref<ScriptControl> control_;
};

}  // namespace telvinor::vbscript
