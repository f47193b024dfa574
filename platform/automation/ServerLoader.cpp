#include "automation/ServerLoader.h"

#include <dlfcn.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <optional>

#include "automation/InprocServer.h"
#include "automation/Utf.h"
#include "registry/Environment.h"
#include "registry/HiveStore.h"

namespace telvinor::automation {
namespace {

using registry::Hive;
using registry::HiveKey;

// The text of a key's default value (REG_SZ or REG_EXPAND_SZ, expanded), or nothing.
std::optional<std::u16string> DefaultText(const Hive& hive, std::vector<std::u16string> names) {
  const HiveKey* key = hive.Find(*registry::RootByHandle(registry::HKEY_CLASSES_ROOT), names);
  const registry::RegValue* v = key ? key->Value(u"") : nullptr;
  if (!v || (v->type != registry::REG_SZ && v->type != registry::REG_EXPAND_SZ))
    return std::nullopt;
  std::u16string text = registry::Utf16OfData(v->data);
  text.resize(std::min(text.size(), text.find(u'\0')));
  if (v->type == registry::REG_EXPAND_SZ)
    text = registry::ExpandEnvironmentText(text, registry::ProcessEnvironmentVariable);
  return text;
}

// Reads the registry once; `progId` empty means: start from the class id.
struct Lookup {
  std::optional<Guid> classId;
  std::u16string library;
  std::string failure;
};

Lookup Find(std::u16string_view progId, std::optional<Guid> classId) {
  Lookup found;
  auto status = registry::HiveStore::Current().Read([&](const Hive& hive) {
    if (!classId) {
      std::u16string name(progId);
      if (registry::SplitKeyPath(name).names.size() != 1) {
        found.failure = "\"" + ToUtf8(progId) + "\" is not a ProgID";
        return;
      }
      auto clsid = DefaultText(hive, {name, u"CLSID"});
      if (!clsid) {
        if (auto current = DefaultText(hive, {name, u"CurVer"}); current && !current->empty())
          clsid = DefaultText(hive, {*current, u"CLSID"});
      }
      if (!clsid) {
        found.failure = "no class is registered as " + ToUtf8(progId);
        return;
      }
      classId = Guid::Parse(*clsid);
      if (!classId) {
        found.failure =
            ToUtf8(progId) + " names the class id \"" + ToUtf8(*clsid) + "\", which is malformed";
        return;
      }
    }
    found.classId = classId;
    auto library = DefaultText(hive, {u"CLSID", classId->ToString(), u"InprocServer32"});
    if (!library || library->empty()) {
      found.failure = "the class " + ToUtf8(classId->ToString()) + " has no InprocServer32 library";
      return;
    }
    found.library = *library;
  });
  if (status != registry::StoreStatus::Ok)
    found.failure = registry::HiveStore::Current().LastError();
  return found;
}

// Loaded libraries stay loaded: objects of theirs may live anywhere in the process.
void* LoadLibrary(const std::string& path, std::string& failure) {
  static std::mutex mutex;
  static auto* loaded = new std::map<std::string, void*>();
  std::lock_guard lock(mutex);
  if (auto it = loaded->find(path); it != loaded->end()) return it->second;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    failure = why ? why : "cannot load " + path;
    return nullptr;
  }
  (*loaded)[path] = handle;
  return handle;
}

ServerObject Create(std::u16string_view progId, std::optional<Guid> classId) {
  ServerObject result;
  Lookup found = Find(progId, classId);
  if (!found.failure.empty()) {
    result.failure = found.failure;
    return result;
  }
  std::string path = ToUtf8(found.library);
  void* library = LoadLibrary(path, result.failure);
  if (!library) return result;
  auto* getClassObject = reinterpret_cast<entrypoint::GetClassObjectFunction*>(
      dlsym(library, entrypoint::kGetClassObject));
  if (!getClassObject) {
    result.failure = path + " has no entry point " + entrypoint::kGetClassObject;
    return result;
  }
  void* object = nullptr;
  std::int32_t status = getClassObject(found.classId->bytes.data(), &object);
  if (status != hresult::kOk || !object) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08x", static_cast<unsigned>(status));
    result.failure =
        std::string(entrypoint::kGetClassObject) + " of " + path + " failed with " + code;
    return result;
  }
  auto* dispatch = static_cast<Dispatch*>(object);
  result.object = Ref<Dispatch>(dispatch);
  dispatch->Release();  // the entry point handed over one reference, now held by the Ref
  return result;
}

}  // namespace

ServerObject CreateServerObject(std::u16string_view progId) {
  return Create(progId, std::nullopt);
}

ServerObject CreateServerObject(const Guid& classId) {
  return Create({}, classId);
}

}  // namespace telvinor::automation
