#include "TextNumber.h"

#include <limits>

namespace harnvik {

std::int64_t ReadLeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 9;
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < kLimit) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace harnvik
