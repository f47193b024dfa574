#pragma once
// Runs the reg command against the registry hive (HiveStore::Current()).
//
// Messages are those of the Windows command: "The operation completed successfully." on
// stdout, "ERROR: ..." on stderr; the exit status is 0 on success and 1 otherwise. A question
// (overwrite a value, delete a key) goes through `confirm`, which answers false when the user
// says anything but yes; /f (/y for export) skips it.

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace telvinor::tools {

struct RegConsole {
  std::ostream& out;
  std::ostream& err;
  std::function<bool(const std::string& question)> confirm;
};

// `words` are the arguments after the program name, as UTF-8.
[[nodiscard]] int RunReg(const std::vector<std::string>& words, RegConsole& console);

}  // namespace telvinor::tools
