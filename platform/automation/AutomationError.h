#pragma once
// An automation error: number, source and description, as VB's Err object and COM's
// EXCEPINFO carry them. Inside C++ it travels as an exception; it never crosses a C export
// or a thread boundary (those catch it and return a status).

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace telvinor::automation {

// Error numbers as VB code sees them in Err.Number. The texts live in one table
// (AutomationError.cpp); StandardErrorText() looks them up.
namespace errc {
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kArrayFixedOrLocked = 10;
inline constexpr std::int32_t kDivisionByZero = 11;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kOutOfStackSpace = 28;
inline constexpr std::int32_t kSubOrFunctionNotDefined = 35;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kObjectVariableNotSet = 91;
inline constexpr std::int32_t kInvalidUseOfNull = 94;
inline constexpr std::int32_t kInvalidPropertyValue = 380;
inline constexpr std::int32_t kObjectRequired = 424;
inline constexpr std::int32_t kCannotCreateObject = 429;
inline constexpr std::int32_t kClassDoesNotSupportAutomation = 430;
inline constexpr std::int32_t kObjectDoesNotSupportMember = 438;
inline constexpr std::int32_t kArgumentNotOptional = 449;
inline constexpr std::int32_t kWrongNumberOfArguments = 450;
inline constexpr std::int32_t kObjectNotACollection = 451;
inline constexpr std::int32_t kDuplicateKey = 457;
inline constexpr std::int32_t kVariableUndefined = 500;
// The object-defined error base (vbObjectError): components add their own numbers to it.
inline constexpr std::int32_t kObjectErrorBase = static_cast<std::int32_t>(0x80040000u);
}  // namespace errc

// The standard text for a VB run-time error number, or an empty view when the number has none.
[[nodiscard]] std::u16string_view StandardErrorText(std::int32_t number) noexcept;

// What VB shows for a raised number that has no text of its own.
inline constexpr std::u16string_view kApplicationDefinedErrorText =
    u"Application-defined or object-defined error";

class AutomationError : public std::exception {
 public:
  // An error with the standard text of its number (or the application-defined text).
  explicit AutomationError(std::int32_t number);
  AutomationError(std::int32_t number, std::u16string source, std::u16string description);

  [[nodiscard]] std::int32_t Number() const noexcept { return number_; }
  [[nodiscard]] const std::u16string& Source() const noexcept { return source_; }
  [[nodiscard]] const std::u16string& Description() const noexcept { return description_; }

  // UTF-8 "number: description" for logs and test failure messages.
  [[nodiscard]] const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::int32_t number_;
  std::u16string source_;
  std::u16string description_;
  std::string what_;
};

// Throws AutomationError(number) with the standard text.
[[noreturn]] void ThrowError(std::int32_t number);

}  // namespace telvinor::automation
