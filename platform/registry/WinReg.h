#pragma once
// The Windows registry calls, ANSI forms, with Windows' status numbers and semantics, over the
// hive of HiveStore::Current().
//
// - Names and text data cross these calls in the system's ANSI code page (platform/text) and
//   are held as Unicode inside; REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ data is converted both
//   ways, every other type is passed byte for byte.
// - Sizes that these calls report (data sizes, the longest name in RegQueryInfoKeyA) are in
//   the bytes these calls hand out, so a buffer of the reported size is always large enough,
//   also for names and text in a double-byte code page.
// - Key names are compared without regard to case and kept as first written; subkeys are
//   enumerated by upper-cased name, values in the order they were first set.
// - A handle carries the access it was opened with: a key opened with KEY_QUERY_VALUE cannot
//   be written through (ERROR_ACCESS_DENIED). A handle whose key has since been deleted, by
//   this or another process, gives ERROR_KEY_DELETED.
// - A change is in the hive file when the call returns; the next call of any process sees it.
//   A damaged hive file gives ERROR_BADDB, an unreadable or unwritable one
//   ERROR_ACCESS_DENIED or ERROR_REGISTRY_IO_FAILED (HiveStore::LastError() says why).
// - Volatile keys (REG_OPTION_VOLATILE) are kept like any other; security attributes, classes
//   and last-write times are not kept (RegQueryInfoKeyA reports them empty).

#include "registry/RegTypes.h"

namespace telvinor::registry {

struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
};

[[nodiscard]] LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions,
                                 REGSAM samDesired, HKEY* phkResult);
[[nodiscard]] LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved,
                                   const char* lpClass, DWORD dwOptions, REGSAM samDesired,
                                   const void* lpSecurityAttributes, HKEY* phkResult,
                                   DWORD* lpdwDisposition);
LONG RegCloseKey(HKEY hKey);
// With lpData null, reports the type and the size in bytes (status 0); with a buffer too small,
// ERROR_MORE_DATA and the size needed.
[[nodiscard]] LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved,
                                    DWORD* lpType, BYTE* lpData, DWORD* lpcbData);
[[nodiscard]] LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType,
                                  const BYTE* lpData, DWORD cbData);
// Refuses a key that still has subkeys (ERROR_ACCESS_DENIED), as Windows does.
[[nodiscard]] LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey);
[[nodiscard]] LONG RegDeleteValueA(HKEY hKey, const char* lpValueName);
[[nodiscard]] LONG RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved,
                                    DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen,
                                    DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                                    DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                                    DWORD* lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime);
// ERROR_NO_MORE_ITEMS past the last value; ERROR_MORE_DATA when the name (or data) does not fit.
[[nodiscard]] LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                                 DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData);
[[nodiscard]] LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName);

}  // namespace telvinor::registry
