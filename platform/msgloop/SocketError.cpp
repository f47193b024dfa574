#include "msgloop/SocketError.h"

namespace telvinor::msgloop {
namespace {

class Category : public std::error_category {
 public:
  [[nodiscard]] const char* name() const noexcept override { return "socket"; }
  [[nodiscard]] std::string message(int value) const override {
    switch (static_cast<SocketError>(value)) {
      case SocketError::kHostNotFound:
        return "Host not found";
      case SocketError::kInvalidAddress:
        return "Invalid local address";
    }
    return "Unknown socket error";
  }
};

}  // namespace

const std::error_category& SocketCategory() noexcept {
  static const Category category;
  return category;
}

std::error_code make_error_code(SocketError error) noexcept {
  return {static_cast<int>(error), SocketCategory()};
}

}  // namespace telvinor::msgloop
