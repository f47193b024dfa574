// A second (and third) process for the concurrency test: writes COUNT values named
// PREFIX-0 .. PREFIX-(COUNT-1) into HKEY_CURRENT_USER\KEY, opening and closing the key for
// each write as the settings class does. Exits 1 at the first failed call.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "registry/WinReg.h"

using namespace telvinor::registry;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: registry_test_writer KEY PREFIX COUNT\n");
    return 2;
  }
  int count = std::atoi(argv[3]);
  for (int i = 0; i < count; ++i) {
    HKEY key = 0;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, argv[1], 0, "", REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    std::string name = std::string(argv[2]) + "-" + std::to_string(i);
    if (status == ERROR_SUCCESS) {
      DWORD value = static_cast<DWORD>(i);
      status = RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&value), sizeof value);
      RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
      std::fprintf(stderr, "registry_test_writer: %s failed with status %d\n", name.c_str(),
                   status);
      return 1;
    }
  }
  return 0;
}
