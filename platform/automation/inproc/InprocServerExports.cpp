// The three entry points of an in-process server, compiled into every server library that
// links Telvinor::InprocServer. Each forwards to the library's own TelvinorInprocServer()
// (automation/InprocServer.h); dlsym finds them by these C names.

#include "automation/InprocServer.h"

#define TELVINOR_SERVER_EXPORT extern "C" __attribute__((visibility("default")))

TELVINOR_SERVER_EXPORT std::int32_t DllRegisterServer() {
  return TelvinorInprocServer().Register();
}

TELVINOR_SERVER_EXPORT std::int32_t DllUnregisterServer() {
  return TelvinorInprocServer().Unregister();
}

TELVINOR_SERVER_EXPORT std::int32_t DllGetClassObject(const std::uint8_t* classId, void** object) {
  return TelvinorInprocServer().GetClassObject(classId, object);
}

// The shapes must stay those the loader expects.
static_assert(std::is_same_v<decltype(DllRegisterServer),
                             telvinor::automation::entrypoint::RegisterFunction>);
static_assert(std::is_same_v<decltype(DllGetClassObject),
                             telvinor::automation::entrypoint::GetClassObjectFunction>);
