#pragma once
// In-process servers: shared libraries whose automation classes other programs create by
// ProgID or class id (COM's self-registering DLLs).
//
// A server library declares its classes once, in the one function TelvinorInprocServer(),
// and links Telvinor::InprocServer, which compiles the three entry points into it:
//
//   const telvinor::automation::InprocServer& TelvinorInprocServer() {
//     static const telvinor::automation::InprocServer server{
//         telvinor::automation::ServedClass::Of<Greeter>(),
//         telvinor::automation::ServedClass::Of<Counter>()};
//     return server;
//   }
//
// Each class's ProgID and class id come from its ClassInfo table. The entry points, looked up
// by name with dlsym and exported with C linkage (see `entrypoint` below):
// - DllRegisterServer: records every class under HKEY_CLASSES_ROOT in the registry hive:
//     <ProgID>                         (default) = the class name
//     <ProgID>\CLSID                   (default) = {class id}
//     CLSID\{class id}                 (default) = <ProgID>
//     CLSID\{class id}\ProgID          (default) = <ProgID>
//     CLSID\{class id}\InprocServer32  (default) = the library's absolute path,
//                                      ThreadingModel = "Apartment"
// - DllUnregisterServer: removes those keys (only where they still name this library).
// - DllGetClassObject: creates an object of a class by its class id.
// They return 0 or an HRESULT-style failure (hresult below) and never throw.
//
// The caller and the library share this build's automation library, so the object crosses the
// boundary as a C++ Dispatch: method calls, events and by-reference arguments work as they
// do inside one program.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "automation/ClassInfo.h"

namespace telvinor::automation {

// HRESULT-style statuses of the entry points (the Windows names in the comments).
namespace hresult {
inline constexpr std::int32_t kOk = 0;                                            // S_OK
inline constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);     // E_FAIL
inline constexpr std::int32_t kPointer = static_cast<std::int32_t>(0x80004003u);  // E_POINTER
inline constexpr std::int32_t kOutOfMemory =
    static_cast<std::int32_t>(0x8007000Eu);  // E_OUTOFMEMORY
inline constexpr std::int32_t kClassNotAvailable =
    static_cast<std::int32_t>(0x80040111u);  // CLASS_E_CLASSNOTAVAILABLE
inline constexpr std::int32_t kSelfRegClass =
    static_cast<std::int32_t>(0x80040201u);  // SELFREG_E_CLASS
// HRESULT_FROM_WIN32: a registry status as a failure.
[[nodiscard]] constexpr std::int32_t FromWin32(std::int32_t status) {
  return status <= 0 ? status
                     : static_cast<std::int32_t>(0x80070000u |
                                                 (static_cast<std::uint32_t>(status) & 0xFFFF));
}
}  // namespace hresult

// The names and shapes of the three entry points.
namespace entrypoint {
inline constexpr const char* kRegister = "DllRegisterServer";
inline constexpr const char* kUnregister = "DllUnregisterServer";
inline constexpr const char* kGetClassObject = "DllGetClassObject";
using RegisterFunction = std::int32_t();
// classId: the 16 bytes of the class id in the order its text shows them. On success *object
// holds a new Dispatch with one reference, which the caller owns.
using GetClassObjectFunction = std::int32_t(const std::uint8_t* classId, void** object);
}  // namespace entrypoint

// One class a server serves: its table and how to make an object of it.
struct ServedClass {
  const ClassInfo& (*info)();
  Ref<Dispatch> (*create)();

  template <class T>
  [[nodiscard]] static ServedClass Of() {
    return ServedClass{&T::Class, []() -> Ref<Dispatch> { return MakeRef<T>(); }};
  }
};

class InprocServer {
 public:
  InprocServer(std::initializer_list<ServedClass> classes) : classes_(classes) {}

  [[nodiscard]] std::int32_t Register() const noexcept;
  [[nodiscard]] std::int32_t Unregister() const noexcept;
  [[nodiscard]] std::int32_t GetClassObject(const std::uint8_t* classId,
                                            void** object) const noexcept;

  // The absolute path of the library that holds this server object.
  [[nodiscard]] std::string LibraryPath() const;
  [[nodiscard]] const std::vector<ServedClass>& Classes() const noexcept { return classes_; }

 private:
  std::vector<ServedClass> classes_;
};

}  // namespace telvinor::automation

// Defined once by each server library (hidden, so two loaded servers never mix theirs up).
[[gnu::visibility("hidden")]] const telvinor::automation::InprocServer& TelvinorInprocServer();
