// regsvr: registers an in-process server library in the registry hive, or removes its
// registration, by calling the library's own DllRegisterServer / DllUnregisterServer (as
// regsvr32 does on Windows).
//
//   regsvr [/u] [/s] LIBRARY
//
// Exit statuses, as regsvr32's: 0 done, 1 bad arguments, 3 the library does not load,
// 4 it has no such entry point, 5 the entry point reported a failure.

#include <dlfcn.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "automation/InprocServer.h"
#include "registry/HiveStore.h"

namespace {

enum Exit { kDone = 0, kBadArguments = 1, kLoadFailed = 3, kNoEntryPoint = 4, kCallFailed = 5 };

bool IsOption(std::string_view word, char letter) {
  return word.size() == 2 && (word[0] == '/' || word[0] == '-') &&
         (word[1] == letter || word[1] == letter - 32);
}

}  // namespace

int main(int argc, char** argv) {
  bool unregister = false, silent = false;
  const char* library = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string_view word = argv[i];
    if (IsOption(word, 'u')) {
      unregister = true;
    } else if (IsOption(word, 's')) {
      silent = true;
    } else if (!library && !(word.size() == 2 && (word[0] == '/' || word[0] == '-'))) {
      library = argv[i];
    } else {
      library = nullptr;
      break;
    }
  }
  if (!library) {
    std::fprintf(
        stderr,
        "usage: regsvr [/u] [/s] LIBRARY\n"
        "Registers the in-process server LIBRARY in the registry hive (TELVINOR_REGISTRY);\n"
        "/u removes its registration, /s prints nothing.\n");
    return kBadArguments;
  }
  auto fail = [&](Exit code, const std::string& message) {
    if (!silent) std::fprintf(stderr, "%s\n", message.c_str());
    return code;
  };

  // The registration records the absolute path, so that any process finds the library.
  char resolved[PATH_MAX];
  if (!realpath(library, resolved))
    return fail(kLoadFailed,
                std::string("The module \"") + library + "\" failed to load: no such file.");
  void* handle = dlopen(resolved, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    return fail(kLoadFailed, std::string("The module \"") + library +
                                 "\" failed to load: " + (why ? why : "") + ".");
  }
  const char* entry = unregister ? telvinor::automation::entrypoint::kUnregister
                                 : telvinor::automation::entrypoint::kRegister;
  auto* call =
      reinterpret_cast<telvinor::automation::entrypoint::RegisterFunction*>(dlsym(handle, entry));
  if (!call)
    return fail(kNoEntryPoint, std::string("The module \"") + library +
                                   "\" was loaded but the entry-point " + entry +
                                   " was not found.");
  std::int32_t status = call();
  if (status != telvinor::automation::hresult::kOk) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08x", static_cast<unsigned>(status));
    std::string why = telvinor::registry::HiveStore::Current().LastError();
    return fail(kCallFailed,
                std::string("The module \"") + library + "\" was loaded but the call to " + entry +
                    " failed with error code " + code + "." + (why.empty() ? "" : "\n" + why));
  }
  if (!silent) std::printf("%s in %s succeeded.\n", entry, library);
  return kDone;
}
