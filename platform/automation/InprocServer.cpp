#include "automation/InprocServer.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "automation/Utf.h"
#include "registry/HiveStore.h"
#include "registry/WinReg.h"

namespace telvinor::automation {
namespace {

using registry::Hive;
using registry::HiveKey;
using registry::WriteOutcome;

const registry::RootInfo& ClassesRoot() {
  return *registry::RootByHandle(registry::HKEY_CLASSES_ROOT);
}

HiveKey* CreateKey(Hive& hive, std::initializer_list<std::u16string> names) {
  bool created = false;
  return hive.Create(ClassesRoot(), std::vector<std::u16string>(names), created);
}

void SetDefault(HiveKey& key, std::u16string_view text, std::u16string name = u"") {
  key.SetValue(name, registry::REG_SZ, registry::TextValue(u"", registry::REG_SZ, text).data);
}

// The text of a key's default value, cut at the first NUL.
std::u16string DefaultText(const HiveKey* key) {
  const registry::RegValue* v = key ? key->Value(u"") : nullptr;
  if (!v) return {};
  std::u16string text = registry::Utf16OfData(v->data);
  return text.substr(0, text.find(u'\0'));
}

std::int32_t StoreFailure(registry::StoreStatus status) {
  switch (status) {
    case registry::StoreStatus::Ok:
      return hresult::kOk;
    case registry::StoreStatus::Damaged:
      return hresult::FromWin32(registry::ERROR_BADDB);
    case registry::StoreStatus::AccessDenied:
      return hresult::FromWin32(registry::ERROR_ACCESS_DENIED);
    case registry::StoreStatus::IoError:
      return hresult::FromWin32(registry::ERROR_REGISTRY_IO_FAILED);
  }
  return hresult::kFail;
}

}  // namespace

std::string InprocServer::LibraryPath() const {
  Dl_info info{};
  if (!dladdr(this, &info) || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  return realpath(info.dli_fname, resolved) ? std::string(resolved) : std::string(info.dli_fname);
}

std::int32_t InprocServer::Register() const noexcept {
  try {
    std::u16string path = FromUtf8(LibraryPath());
    if (path.empty()) return hresult::kSelfRegClass;
    for (const auto& c : classes_) {
      const ClassInfo& info = c.info();
      if (info.progId.empty() || info.classId.IsNull()) return hresult::kSelfRegClass;
    }
    auto status = registry::HiveStore::Current().Write([&](Hive& hive) {
      for (const auto& c : classes_) {
        const ClassInfo& info = c.info();
        std::u16string clsid = info.classId.ToString();
        SetDefault(*CreateKey(hive, {info.progId}), info.name);
        SetDefault(*CreateKey(hive, {info.progId, u"CLSID"}), clsid);
        SetDefault(*CreateKey(hive, {u"CLSID", clsid}), info.progId);
        SetDefault(*CreateKey(hive, {u"CLSID", clsid, u"ProgID"}), info.progId);
        HiveKey& server = *CreateKey(hive, {u"CLSID", clsid, u"InprocServer32"});
        SetDefault(server, path);
        SetDefault(server, u"Apartment", u"ThreadingModel");
      }
      return WriteOutcome::Save;
    });
    return StoreFailure(status);
  } catch (const std::bad_alloc&) {
    return hresult::kOutOfMemory;
  } catch (...) {
    return hresult::kFail;
  }
}

std::int32_t InprocServer::Unregister() const noexcept {
  try {
    std::u16string path = FromUtf8(LibraryPath());
    auto status = registry::HiveStore::Current().Write([&](Hive& hive) {
      bool changed = false;
      const auto& root = ClassesRoot();
      for (const auto& c : classes_) {
        const ClassInfo& info = c.info();
        std::u16string clsid = info.classId.ToString();
        // Keys that another library has taken over since are left to that library.
        std::vector<std::u16string> serverKey{u"CLSID", clsid, u"InprocServer32"};
        std::u16string registered = DefaultText(hive.Find(root, serverKey));
        if (registered.empty() || registered == path) {
          std::vector<std::u16string> clsidKey{u"CLSID", clsid};
          changed |= hive.Delete(root, clsidKey, registry::DeleteMode::Tree) ==
                     registry::DeleteResult::Deleted;
        }
        std::vector<std::u16string> progIdClsid{info.progId, u"CLSID"};
        auto named = Guid::Parse(DefaultText(hive.Find(root, progIdClsid)));
        if (!named || *named == info.classId) {
          std::vector<std::u16string> progIdKey{info.progId};
          changed |= hive.Delete(root, progIdKey, registry::DeleteMode::Tree) ==
                     registry::DeleteResult::Deleted;
        }
      }
      return changed ? WriteOutcome::Save : WriteOutcome::Unchanged;
    });
    return StoreFailure(status);
  } catch (const std::bad_alloc&) {
    return hresult::kOutOfMemory;
  } catch (...) {
    return hresult::kFail;
  }
}

std::int32_t InprocServer::GetClassObject(const std::uint8_t* classId,
                                          void** object) const noexcept {
  if (!object) return hresult::kPointer;
  *object = nullptr;
  if (!classId) return hresult::kPointer;
  Guid wanted;
  std::memcpy(wanted.bytes.data(), classId, wanted.bytes.size());
  try {
    for (const auto& c : classes_) {
      if (c.info().classId == wanted) {
        Ref<Dispatch> created = c.create();
        *object = static_cast<Dispatch*>(created.release());
        return *object ? hresult::kOk : hresult::kFail;
      }
    }
    return hresult::kClassNotAvailable;
  } catch (const std::bad_alloc&) {
    return hresult::kOutOfMemory;
  } catch (...) {
    return hresult::kFail;
  }
}

}  // namespace telvinor::automation
