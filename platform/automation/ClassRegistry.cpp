#include "automation/ClassRegistry.h"

#include <mutex>
#include <string>
#include <vector>

#include "automation/AutomationError.h"
#include "automation/ClassInfo.h"
#include "automation/ServerLoader.h"

namespace telvinor::automation {
namespace {

struct LocalClass {
  std::u16string progIdKey;  // case-folded
  Guid classId;
  ClassFactoryFunction factory;
};

struct LocalClasses {
  std::mutex mutex;
  std::vector<LocalClass> classes;
};

LocalClasses& Local() {
  static LocalClasses local;
  return local;
}

}  // namespace

void RegisterClass(std::u16string_view progId, const Guid& classId, ClassFactoryFunction factory) {
  auto& local = Local();
  std::lock_guard lock(local.mutex);
  std::u16string key = FoldCase(progId);
  for (auto& c : local.classes) {
    if (c.progIdKey == key) {
      c.classId = classId;
      c.factory = std::move(factory);
      return;
    }
  }
  local.classes.push_back(LocalClass{std::move(key), classId, std::move(factory)});
}

Ref<Dispatch> CreateObject(std::u16string_view progId) {
  ClassFactoryFunction factory;
  {
    auto& local = Local();
    std::lock_guard lock(local.mutex);
    std::u16string key = FoldCase(progId);
    for (const auto& c : local.classes) {
      if (c.progIdKey == key) factory = c.factory;
    }
  }
  if (factory) return factory();
  if (Ref<Dispatch> object = CreateServerObject(progId).object) return object;
  throw AutomationError(errc::kCannotCreateObject);
}

Ref<Dispatch> CreateObject(const Guid& classId) {
  ClassFactoryFunction factory;
  {
    auto& local = Local();
    std::lock_guard lock(local.mutex);
    for (const auto& c : local.classes) {
      if (c.classId == classId) factory = c.factory;
    }
  }
  if (factory) return factory();
  if (Ref<Dispatch> object = CreateServerObject(classId).object) return object;
  throw AutomationError(errc::kCannotCreateObject);
}

}  // namespace telvinor::automation
