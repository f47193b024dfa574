#pragma once
// UTF-8 <-> UTF-16 (see text/Utf8.h), under the automation namespace where most callers are.

#include "text/Utf8.h"

namespace telvinor::automation {

using text::FromUtf8;
using text::ToUtf8;

}  // namespace telvinor::automation
