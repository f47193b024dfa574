#pragma once
// BString: an immutable UTF-16 string shared by reference, the string of Variant.
//
// VB strings are values, but they are copied far more often than they are changed (every
// assignment, argument and return copies one). Sharing one immutable buffer makes such a copy
// a pointer copy and a count increment; every "change" builds a new string. The empty string
// holds no buffer at all.

#include <cstdint>
#include <string>
#include <string_view>

namespace telvinor::automation {

class BString {
 public:
  BString() noexcept = default;
  BString(std::u16string_view text);
  BString(const char16_t* text) : BString(std::u16string_view(text)) {}
  BString(const std::u16string& text) : BString(std::u16string_view(text)) {}
  BString(const BString& o) noexcept : rep_(o.rep_) { if (rep_) ++rep_->refs; }
  BString(BString&& o) noexcept : rep_(o.rep_) { o.rep_ = nullptr; }
  BString& operator=(const BString& o) noexcept;
  BString& operator=(BString&& o) noexcept;
  ~BString() { Drop(); }

  // A string of `length` units to be filled through MutableData() before it is shared.
  [[nodiscard]] static BString Uninitialized(std::size_t length);
  [[nodiscard]] static BString Concat(std::u16string_view a, std::u16string_view b);

  // Appends to this string. When nobody else holds the buffer it grows in place with room to
  // spare, so a loop that keeps appending to one variable (s = s & x) costs amortised linear
  // time instead of copying the whole text each time; a shared buffer is copied first, so
  // other holders never see the change.
  void Append(std::u16string_view tail);

  [[nodiscard]] std::u16string_view view() const noexcept {
    return rep_ ? std::u16string_view(rep_->data, rep_->length) : std::u16string_view();
  }
  operator std::u16string_view() const noexcept { return view(); }
  [[nodiscard]] std::u16string str() const { return std::u16string(view()); }
  [[nodiscard]] std::size_t size() const noexcept { return rep_ ? rep_->length : 0; }
  [[nodiscard]] bool empty() const noexcept { return size() == 0; }
  [[nodiscard]] const char16_t* data() const noexcept { return rep_ ? rep_->data : u""; }
  // Only for a string made by Uninitialized() that nobody else holds yet.
  [[nodiscard]] char16_t* MutableData() noexcept { return rep_ ? rep_->data : nullptr; }

  friend bool operator==(const BString& a, const BString& b) noexcept { return a.view() == b.view(); }

 private:
  struct Rep {
    std::uint32_t refs;
    std::uint32_t length;
    std::uint32_t capacity;  // units available for text, not counting the terminator
    char16_t data[1];        // capacity + 1 units, NUL-terminated after `length` for C callers
  };
  static Rep* Allocate(std::size_t length, std::size_t capacity = 0);
  static void AppendTo(Rep*& rep, std::u16string_view tail);
  void Drop() noexcept;

  Rep* rep_ = nullptr;
  friend class Variant;
};

}  // namespace telvinor::automation
