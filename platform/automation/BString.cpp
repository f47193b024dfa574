#include "automation/BString.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "automation/AutomationError.h"

namespace telvinor::automation {

BString::Rep* BString::Allocate(std::size_t length) {
  // VB strings are limited to 2^31 units; past that an allocation is refused as VB does.
  if (length > 0x7FFFFFF0u) throw AutomationError(errc::kOutOfMemory);
  void* p = std::malloc(offsetof(Rep, data) + (length + 1) * sizeof(char16_t));
  if (!p) throw AutomationError(errc::kOutOfMemory);
  auto* rep = static_cast<Rep*>(p);
  rep->refs = 1;
  rep->length = static_cast<std::uint32_t>(length);
  rep->data[length] = 0;
  return rep;
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
    std::memcpy(d, a.data(), a.size() * sizeof(char16_t));
    std::memcpy(d + a.size(), b.data(), b.size() * sizeof(char16_t));
  }
  return s;
}

}  // namespace telvinor::automation
