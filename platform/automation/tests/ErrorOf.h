#pragma once
// The number of the automation error a call raises, or 0 when it raises none.

#include <cstdint>
#include <functional>

#include "automation/AutomationError.h"

namespace telvinor::automation {

inline std::int32_t ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace telvinor::automation
