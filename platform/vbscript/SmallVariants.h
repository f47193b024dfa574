#pragma once
// A run of Variants that lives on the C++ stack when short (procedure locals, call
// arguments), so that an ordinary call allocates nothing.

#include <cstddef>
#include <memory>
#include <span>

#include "automation/Variant.h"

namespace telvinor::vbscript {

template <std::size_t N>
class SmallVariants {
 public:
  explicit SmallVariants(std::size_t n) : size_(n) {
    if (n > N) heap_ = std::make_unique<automation::Variant[]>(n);
  }
  SmallVariants(const SmallVariants&) = delete;
  SmallVariants& operator=(const SmallVariants&) = delete;

  [[nodiscard]] automation::Variant* data() noexcept { return heap_ ? heap_.get() : inline_; }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  automation::Variant& operator[](std::size_t i) noexcept { return data()[i]; }
  [[nodiscard]] std::span<automation::Variant> span() noexcept { return {data(), size_}; }

 private:
  automation::Variant inline_[N];
  std::unique_ptr<automation::Variant[]> heap_;
  std::size_t size_;
};

}  // namespace telvinor::vbscript
