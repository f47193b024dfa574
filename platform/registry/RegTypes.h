#pragma once
// The types, status numbers, data types and access rights of the Windows registry calls, with
// the numbers winerror.h and winnt.h give them, so code written against those calls reads
// and behaves the same here.

#include <cstddef>
#include <cstdint>

namespace telvinor::registry {

using BYTE = std::uint8_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using REGSAM = std::uint32_t;
// A key handle. Callers keep it in a 32-bit integer (VB's Long), as the settings class does,
// so it is one here: the predefined roots have their fixed values, opened keys get small
// numbers from the process's handle table.
using HKEY = std::uint32_t;

// Predefined root keys.
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;

// Status numbers (winerror.h).
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_INVALID_DATA = 13;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_BAD_PATHNAME = 161;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_NOACCESS = 998;
inline constexpr LONG ERROR_BADDB = 1009;               // the hive file cannot be parsed
inline constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;  // the hive file cannot be read or written
inline constexpr LONG ERROR_KEY_DELETED = 1018;         // the key behind a handle was deleted

// Data types (winnt.h). Any other number is stored and returned as given.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Access rights of a key handle (winnt.h).
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM DELETE = 0x00010000;
inline constexpr REGSAM READ_CONTROL = 0x00020000;
inline constexpr REGSAM KEY_READ =
    READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;
inline constexpr REGSAM KEY_WRITE = READ_CONTROL | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
inline constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;
inline constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;
inline constexpr REGSAM GENERIC_ALL = 0x10000000;
inline constexpr REGSAM GENERIC_EXECUTE = 0x20000000;
inline constexpr REGSAM GENERIC_WRITE = 0x40000000;
inline constexpr REGSAM GENERIC_READ = 0x80000000;

// RegCreateKeyExA: options and dispositions.
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_OPTION_VOLATILE = 1;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Limits Windows sets on names (in characters).
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
// How deep keys may nest below a root, as on Windows.
inline constexpr std::size_t kMaxKeyDepth = 512;

}  // namespace telvinor::registry
