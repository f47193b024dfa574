#pragma once
// Creating objects of in-process servers recorded in the registry (the second source of
// CreateObject, ClassRegistry.h):
//   HKEY_CLASSES_ROOT\<ProgID>\CLSID                    -> {class id}
//     (a ProgID without CLSID may name its current version in CurVer, followed once)
//   HKEY_CLASSES_ROOT\CLSID\{class id}\InprocServer32   -> library path (REG_EXPAND_SZ expanded)
// The library is loaded with dlopen on first use and stays loaded for the life of the
// process, as COM keeps a server loaded while its objects may live; its DllGetClassObject
// makes the object.

#include <string>
#include <string_view>

#include "automation/Dispatch.h"
#include "automation/Guid.h"

namespace telvinor::automation {

struct ServerObject {
  Ref<Dispatch> object;
  std::string failure;  // why there is no object (UTF-8), for tools and logs
};

[[nodiscard]] ServerObject CreateServerObject(std::u16string_view progId);
[[nodiscard]] ServerObject CreateServerObject(const Guid& classId);

}  // namespace telvinor::automation
