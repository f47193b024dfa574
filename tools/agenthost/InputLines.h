#pragma once
// Cuts a stream of input bytes into lines, whatever sizes the reads come in. A line ends at
// LF; a CR before the LF is dropped (files written on Windows). The last line needs no LF.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvinor::agenthost {

class InputLines {
 public:
  // The lines that the bytes complete.
  [[nodiscard]] std::vector<std::string> Feed(std::string_view bytes);
  // At the end of input: the unterminated last line, if any.
  [[nodiscard]] std::optional<std::string> Finish();

 private:
  std::string pending_;
};

}  // namespace telvinor::agenthost
