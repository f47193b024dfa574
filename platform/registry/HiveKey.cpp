#include "registry/HiveKey.h"

#include <algorithm>

#include "registry/KeyPath.h"

namespace telvinor::registry {

HiveKey::HiveKey(std::u16string name) : name_(std::move(name)), key_(NameKey(name_)) {}

std::size_t HiveKey::LowerBound(const std::u16string& key) const noexcept {
  auto it = std::lower_bound(
      children_.begin(), children_.end(), key,
      [](const std::unique_ptr<HiveKey>& c, const std::u16string& k) { return c->key_ < k; });
  return static_cast<std::size_t>(it - children_.begin());
}

HiveKey* HiveKey::Child(std::u16string_view name) noexcept {
  return const_cast<HiveKey*>(static_cast<const HiveKey*>(this)->Child(name));
}

const HiveKey* HiveKey::Child(std::u16string_view name) const noexcept {
  std::u16string key = NameKey(name);
  std::size_t i = LowerBound(key);
  return i < children_.size() && children_[i]->key_ == key ? children_[i].get() : nullptr;
}

HiveKey& HiveKey::CreateChild(std::u16string_view name, bool& created) {
  std::u16string key = NameKey(name);
  std::size_t i = LowerBound(key);
  created = !(i < children_.size() && children_[i]->key_ == key);
  if (created)
    children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(i),
                     std::make_unique<HiveKey>(std::u16string(name)));
  return *children_[i];
}

bool HiveKey::RemoveChild(std::u16string_view name) {
  std::u16string key = NameKey(name);
  std::size_t i = LowerBound(key);
  if (!(i < children_.size() && children_[i]->key_ == key)) return false;
  children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
  return true;
}

const RegValue* HiveKey::Value(std::u16string_view name) const noexcept {
  std::u16string key = NameKey(name);
  for (const auto& v : values_) {
    if (v.name.size() == name.size() && NameKey(v.name) == key) return &v;
  }
  return nullptr;
}

void HiveKey::SetValue(std::u16string_view name, DWORD type, std::vector<BYTE> data) {
  if (auto* existing = const_cast<RegValue*>(Value(name))) {
    existing->type = type;
    existing->data = std::move(data);
    return;
  }
  values_.push_back(RegValue{std::u16string(name), type, std::move(data)});
}

bool HiveKey::RemoveValue(std::u16string_view name) {
  const RegValue* v = Value(name);
  if (!v) return false;
  values_.erase(values_.begin() + (v - values_.data()));
  return true;
}

bool HiveKey::SameContent(const HiveKey& other) const {
  if (name_ != other.name_ || values_ != other.values_ ||
      children_.size() != other.children_.size())
    return false;
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (!children_[i]->SameContent(*other.children_[i])) return false;
  }
  return true;
}

}  // namespace telvinor::registry
