#pragma once
// Creating automation objects by ProgID or class id (VB's CreateObject, COM's CoCreateInstance).
//
// Two sources, asked in this order:
// 1. Classes registered in this process with RegisterClass() (the script engine's own
//    Scripting.Dictionary, VBScript.RegExp, the XML DOM): no registry entry needed.
// 2. In-process servers recorded in the registry (HKEY_CLASSES_ROOT\<ProgID>\CLSID and
//    HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32), loaded on first use.
// A ProgID found in neither raises 429 "ActiveX component can't create object".

#include <functional>
#include <string_view>

#include "automation/Dispatch.h"
#include "automation/Guid.h"

namespace telvinor::automation {

using ClassFactoryFunction = std::function<Ref<Dispatch>()>;

// Makes a class creatable by name in this process; a later registration of the same ProgID
// (compared without regard to case) replaces the earlier one.
void RegisterClass(std::u16string_view progId, const Guid& classId, ClassFactoryFunction factory);

[[nodiscard]] Ref<Dispatch> CreateObject(std::u16string_view progId);
[[nodiscard]] Ref<Dispatch> CreateObject(const Guid& classId);

}  // namespace telvinor::automation
