#pragma once
// Err: the script's view of the last run-time error (Number, Description, Source, Raise,
// Clear). Number is its default member, so `If Err Then` tests it.

#include <cstdint>
#include <string>

#include "automation/ClassInfo.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {

class ErrObject : public automation::AutomationObject<ErrObject> {
 public:
  static const automation::ClassInfo& Class();

  void Set(const automation::AutomationError& e);
  void Clear();

  std::int32_t number = 0;
  std::u16string description, source, helpFile;
  std::int32_t helpContext = 0;
};

}  // namespace telvinor::vbscript
