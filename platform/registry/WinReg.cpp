#include "registry/WinReg.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "registry/HiveStore.h"
#include "registry/KeyPath.h"
#include "text/AnsiText.h"

namespace telvinor::registry {
namespace {

struct OpenKey {
  const RootInfo* root = nullptr;
  std::vector<std::u16string> names;
  REGSAM access = 0;
};

// Handles of opened keys: small multiples of four, as Windows hands out, well below the
// predefined roots at 0x80000000.
class HandleTable {
 public:
  HKEY Add(OpenKey key) {
    std::lock_guard lock(mutex_);
    do {
      next_ = next_ + 4 >= kLast ? kFirst : next_ + 4;
    } while (keys_.count(next_));
    keys_.emplace(next_, std::move(key));
    return next_;
  }
  std::optional<OpenKey> Get(HKEY handle) {
    if (const RootInfo* root = RootByHandle(handle)) return OpenKey{root, {}, KEY_ALL_ACCESS};
    std::lock_guard lock(mutex_);
    auto it = keys_.find(handle);
    if (it == keys_.end()) return std::nullopt;
    return it->second;
  }
  bool Remove(HKEY handle) {
    std::lock_guard lock(mutex_);
    return keys_.erase(handle) != 0;
  }

 private:
  static constexpr HKEY kFirst = 0x100;
  static constexpr HKEY kLast = 0x40000000;
  std::mutex mutex_;
  std::unordered_map<HKEY, OpenKey> keys_;
  HKEY next_ = kFirst;
};

HandleTable& Handles() {
  static auto* table = new HandleTable();  // outlives every static that might close a key
  return *table;
}

REGSAM EffectiveAccess(REGSAM sam) {
  REGSAM access = sam & KEY_ALL_ACCESS;
  if (sam & (GENERIC_READ | GENERIC_EXECUTE)) access |= KEY_READ;
  if (sam & GENERIC_WRITE) access |= KEY_WRITE;
  if (sam & (GENERIC_ALL | MAXIMUM_ALLOWED)) access |= KEY_ALL_ACCESS;
  return access;
}

LONG StoreError(StoreStatus status) {
  switch (status) {
    case StoreStatus::Ok:
      return ERROR_SUCCESS;
    case StoreStatus::Damaged:
      return ERROR_BADDB;
    case StoreStatus::AccessDenied:
      return ERROR_ACCESS_DENIED;
    case StoreStatus::IoError:
      return ERROR_REGISTRY_IO_FAILED;
  }
  return ERROR_REGISTRY_IO_FAILED;
}

std::u16string Wide(const char* ansi) {
  return ansi ? text::FromAnsi(ansi) : std::u16string();
}

// The names of hKey's key followed by those of lpSubKey.
LONG Below(const OpenKey& parent, const char* subKey, std::vector<std::u16string>& names) {
  SplitPath split = SplitKeyPath(Wide(subKey));
  if (split.error != PathError::None)
    return split.error == PathError::NameTooLong ? ERROR_INVALID_PARAMETER : ERROR_BAD_PATHNAME;
  names = parent.names;
  names.insert(names.end(), split.names.begin(), split.names.end());
  if (names.size() > kMaxKeyDepth) return ERROR_BAD_PATHNAME;
  return ERROR_SUCCESS;
}

// What the ANSI calls hand out for a value: text types in the code page, the rest as stored.
std::vector<BYTE> AnsiData(const RegValue& v) {
  if (!IsTextType(v.type)) return v.data;
  std::string ansi = text::ToAnsi(Utf16OfData(v.data));
  return std::vector<BYTE>(ansi.begin(), ansi.end());
}

LONG CopyData(const std::vector<BYTE>& data, BYTE* lpData, DWORD* lpcbData) {
  if (!lpcbData) return ERROR_SUCCESS;
  auto size = static_cast<DWORD>(data.size());
  if (lpData && *lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (lpData && size) std::memcpy(lpData, data.data(), size);
  *lpcbData = size;
  return ERROR_SUCCESS;
}

// Runs a read of the key behind an open handle.
template <class F>
LONG ReadKey(const OpenKey& key, F fn) {
  LONG status = ERROR_SUCCESS;
  StoreStatus s = HiveStore::Current().Read([&](const Hive& hive) {
    const HiveKey* k = hive.Find(*key.root, key.names);
    status = k ? fn(*k) : ERROR_KEY_DELETED;
  });
  return s == StoreStatus::Ok ? status : StoreError(s);
}

// Runs a change of the key behind an open handle; the hive is saved when fn succeeds.
template <class F>
LONG WriteKey(const OpenKey& key, F fn) {
  LONG status = ERROR_SUCCESS;
  StoreStatus s = HiveStore::Current().Write([&](Hive& hive) {
    HiveKey* k = hive.Find(*key.root, key.names);
    status = k ? fn(*k) : ERROR_KEY_DELETED;
    return status == ERROR_SUCCESS ? WriteOutcome::Save : WriteOutcome::Unchanged;
  });
  return s == StoreStatus::Ok ? status : StoreError(s);
}

LONG DeleteKey(HKEY hKey, const char* lpSubKey, DeleteMode mode) {
  auto parent = Handles().Get(hKey);
  if (!parent) return ERROR_INVALID_HANDLE;
  std::vector<std::u16string> names;
  if (LONG bad = Below(*parent, lpSubKey, names)) return bad;
  LONG status = ERROR_SUCCESS;
  StoreStatus s = HiveStore::Current().Write([&](Hive& hive) {
    if (!hive.Find(*parent->root, parent->names)) {
      status = ERROR_KEY_DELETED;
      return WriteOutcome::Unchanged;
    }
    switch (hive.Delete(*parent->root, names, mode)) {
      case DeleteResult::Deleted:
        return WriteOutcome::Save;
      case DeleteResult::NotFound:
        status = ERROR_FILE_NOT_FOUND;
        break;
      case DeleteResult::HasSubkeys:
      case DeleteResult::Protected:
        status = ERROR_ACCESS_DENIED;
        break;
    }
    return WriteOutcome::Unchanged;
  });
  return s == StoreStatus::Ok ? status : StoreError(s);
}

}  // namespace

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD, REGSAM samDesired, HKEY* phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = 0;
  auto parent = Handles().Get(hKey);
  if (!parent) return ERROR_INVALID_HANDLE;
  OpenKey key{parent->root, {}, EffectiveAccess(samDesired)};
  if (LONG bad = Below(*parent, lpSubKey, key.names)) return bad;
  LONG status = ERROR_SUCCESS;
  StoreStatus s = HiveStore::Current().Read([&](const Hive& hive) {
    if (!hive.Find(*parent->root, parent->names))
      status = ERROR_KEY_DELETED;
    else if (!hive.Find(*key.root, key.names))
      status = ERROR_FILE_NOT_FOUND;
  });
  if (s != StoreStatus::Ok) return StoreError(s);
  if (status == ERROR_SUCCESS) *phkResult = Handles().Add(std::move(key));
  return status;
}

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD, const char*, DWORD, REGSAM samDesired,
                     const void*, HKEY* phkResult, DWORD* lpdwDisposition) {
  if (!phkResult || !lpSubKey) return ERROR_INVALID_PARAMETER;
  *phkResult = 0;
  auto parent = Handles().Get(hKey);
  if (!parent) return ERROR_INVALID_HANDLE;
  OpenKey key{parent->root, {}, EffectiveAccess(samDesired)};
  if (LONG bad = Below(*parent, lpSubKey, key.names)) return bad;
  LONG status = ERROR_SUCCESS;
  bool created = false;
  StoreStatus s = HiveStore::Current().Write([&](Hive& hive) {
    if (!hive.Find(*parent->root, parent->names)) {
      status = ERROR_KEY_DELETED;
      return WriteOutcome::Unchanged;
    }
    if (hive.Find(*key.root, key.names)) return WriteOutcome::Unchanged;
    if (!(parent->access & KEY_CREATE_SUB_KEY)) {
      status = ERROR_ACCESS_DENIED;
      return WriteOutcome::Unchanged;
    }
    if (!hive.Create(*key.root, key.names, created)) {
      status = ERROR_BAD_PATHNAME;
      return WriteOutcome::Unchanged;
    }
    return WriteOutcome::Save;
  });
  if (s != StoreStatus::Ok) return StoreError(s);
  if (status != ERROR_SUCCESS) return status;
  if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *phkResult = Handles().Add(std::move(key));
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
  if (RootByHandle(hKey)) return ERROR_SUCCESS;
  return Handles().Remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD*, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData) {
  if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
  auto key = Handles().Get(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::u16string name = Wide(lpValueName);
  return ReadKey(*key, [&](const HiveKey& k) {
    const RegValue* v = k.Value(name);
    if (!v) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = v->type;
    return CopyData(AnsiData(*v), lpData, lpcbData);
  });
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
  if (!lpData && cbData) return ERROR_NOACCESS;
  auto key = Handles().Get(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  std::u16string name = Wide(lpValueName);
  // The hive file keeps one value to a line: a name cannot hold a line break.
  if (name.size() > kMaxValueNameLength || name.find_first_of(u"\r\n") != std::u16string::npos)
    return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> data(lpData, lpData + cbData);
  if (IsTextType(dwType)) {
    data =
        Utf16Data(text::FromAnsi(std::string_view(reinterpret_cast<const char*>(lpData), cbData)));
  }
  return WriteKey(*key, [&](HiveKey& k) {
    k.SetValue(name, dwType, std::move(data));
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  return DeleteKey(hKey, lpSubKey, DeleteMode::KeyWithoutSubkeys);
}

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName) {
  auto key = Handles().Get(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  std::u16string name = Wide(lpValueName);
  return WriteKey(
      *key, [&](HiveKey& k) { return k.RemoveValue(name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND; });
}

LONG RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD*, DWORD* lpcSubKeys,
                      DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                      DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                      DWORD* lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime) {
  auto key = Handles().Get(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  return ReadKey(*key, [&](const HiveKey& k) {
    DWORD maxSubKey = 0, maxName = 0, maxData = 0;
    for (const auto& c : k.Children())
      maxSubKey = std::max<DWORD>(maxSubKey, static_cast<DWORD>(text::AnsiLength(c->Name())));
    for (const auto& v : k.Values()) {
      maxName = std::max<DWORD>(maxName, static_cast<DWORD>(text::AnsiLength(v.name)));
      maxData = std::max<DWORD>(maxData, static_cast<DWORD>(AnsiData(v).size()));
    }
    if (lpClass && lpcchClass && *lpcchClass) *lpClass = '\0';
    if (lpcchClass) *lpcchClass = 0;
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(k.Children().size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubKey;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(k.Values().size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{};
    return ERROR_SUCCESS;
  });
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD*,
                   DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
  if (!lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  auto key = Handles().Get(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  return ReadKey(*key, [&](const HiveKey& k) {
    if (dwIndex >= k.Values().size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& v = k.Values()[dwIndex];
    std::string name = text::ToAnsi(v.name);
    if (name.size() + 1 > *lpcchValueName) return ERROR_MORE_DATA;
    std::memcpy(lpValueName, name.c_str(), name.size() + 1);
    *lpcchValueName = static_cast<DWORD>(name.size());
    if (lpType) *lpType = v.type;
    return CopyData(AnsiData(v), lpData, lpcbData);
  });
}

LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName) {
  if (!lpName) return ERROR_INVALID_PARAMETER;
  auto key = Handles().Get(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  return ReadKey(*key, [&](const HiveKey& k) {
    if (dwIndex >= k.Children().size()) return ERROR_NO_MORE_ITEMS;
    std::string name = text::ToAnsi(k.Children()[dwIndex]->Name());
    if (name.size() + 1 > cchName) return ERROR_MORE_DATA;
    std::memcpy(lpName, name.c_str(), name.size() + 1);
    return ERROR_SUCCESS;
  });
}

}  // namespace telvinor::registry
