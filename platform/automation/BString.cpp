#include "automation/BString.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "automation/AutomationError.h"

namespace telvinor::automation {

namespace {
// VB strings are limited to 2^31 units; past that an allocation is refused as VB does.
constexpr std::size_t kMaxLength = 0x7FFFFFF0u;
}  // namespace

BString::Rep* BString::Allocate(std::size_t length, std::size_t capacity) {
  if (length > kMaxLength) throw AutomationError(errc::kOutOfMemory);
  if (capacity < length) capacity = length;
  if (capacity > kMaxLength) capacity = kMaxLength;
  void* p = std::malloc(offsetof(Rep, data) + (capacity + 1) * sizeof(char16_t));
  if (!p) throw AutomationError(errc::kOutOfMemory);
  auto* rep = static_cast<Rep*>(p);
  rep->refs = 1;
  rep->length = static_cast<std::uint32_t>(length);
  rep->capacity = static_cast<std::uint32_t>(capacity);
  rep->data[length] = 0;
  return rep;
}

void BString::Append(std::u16string_view tail) { AppendTo(rep_, tail); }

void BString::AppendTo(Rep*& rep, std::u16string_view tail) {
  if (tail.empty()) return;
  std::size_t length = rep ? rep->length : 0;
  if (tail.size() > kMaxLength - length) throw AutomationError(errc::kOutOfMemory);
  std::size_t total = length + tail.size();
  if (rep && rep->refs == 1 && total <= rep->capacity) {
    // memmove: the tail may be a view of this very buffer.
    std::memmove(rep->data + length, tail.data(), tail.size() * sizeof(char16_t));
    rep->length = static_cast<std::uint32_t>(total);
    rep->data[total] = 0;
    return;
  }
  Rep* grown = Allocate(total, total + total / 2 + 8);
  if (length) std::memcpy(grown->data, rep->data, length * sizeof(char16_t));
  std::memcpy(grown->data + length, tail.data(), tail.size() * sizeof(char16_t));
  grown->data[total] = 0;
  if (rep && --rep->refs == 0) std::free(rep);
  rep = grown;
}

BString::BString(std::u16string_view text) {
  if (text.empty()) return;
  rep_ = Allocate(text.size());
  std::memcpy(rep_->data, text.data(), text.size() * sizeof(char16_t));
}

BString& BString::operator=(const BString& o) noexcept {
  if (o.rep_) ++o.rep_->refs;
  Drop();
  rep_ = o.rep_;
  return *this;
}

BString& BString::operator=(BString&& o) noexcept {
  if (this != &o) {
    Drop();
    rep_ = o.rep_;
    o.rep_ = nullptr;
  }
  return *this;
}

void BString::Drop() noexcept {
  if (rep_ && --rep_->refs == 0) std::free(rep_);
  rep_ = nullptr;
}

BString BString::Uninitialized(std::size_t length) {
  BString s;
  if (length) s.rep_ = Allocate(length);
  return s;
}

BString BString::Concat(std::u16string_view a, std::u16string_view b) {
  if (a.size() + b.size() < a.size()) throw AutomationError(errc::kOutOfMemory);
  BString s = Uninitialized(a.size() + b.size());
  if (char16_t* d = s.MutableData()) {
    // An empty view may have no data pointer at all; memcpy must not see it.
    if (!a.empty()) std::memcpy(d, a.data(), a.size() * sizeof(char16_t));
    if (!b.empty()) std::memcpy(d + a.size(), b.data(), b.size() * sizeof(char16_t));
  }
  return s;
}

}  // namespace telvinor::automation
