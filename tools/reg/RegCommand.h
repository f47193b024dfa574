#pragma once
// The reg command's language, as administrators know it from Windows:
//   reg query  KEY [/v NAME | /ve] [/s]
//   reg add    KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]
//   reg delete KEY [/v NAME | /ve | /va] [/f]
//   reg export KEY FILE [/y]
//   reg import FILE
// Operations and options are written in any case, options with "/" or "-". Pure: parsing
// the words and turning values to and from text; RegTool runs the command.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegValue.h"

namespace telvinor::tools {

enum class RegOperation : std::uint8_t { Query, Add, Delete, Export, Import };

struct RegCommand {
  RegOperation operation = RegOperation::Query;
  bool help = false;                    // /?
  std::u16string key;                   // as typed
  std::optional<std::u16string> value;  // /v NAME, or "" for /ve
  bool allValues = false;               // delete /va
  bool recurse = false;                 // query /s
  std::optional<std::u16string> type;   // add /t
  std::optional<std::u16string> data;   // add /d
  std::u16string separator = u"\\0";    // add /s, between REG_MULTI_SZ items
  bool force = false;                   // /f, export /y
  std::u16string file;                  // export, import
};

// The words after "reg"; nothing when they do not make a command (the caller prints the
// usage hint of `operationName`, or of reg itself when that is empty).
struct RegParse {
  std::optional<RegCommand> command;
  std::u16string operationName;  // "QUERY", ... when known
};
[[nodiscard]] RegParse ParseRegCommand(const std::vector<std::u16string>& words);

// The data types reg names, listed once: REG_SZ .. REG_QWORD.
[[nodiscard]] std::u16string TypeName(registry::DWORD type);
[[nodiscard]] std::optional<registry::DWORD> TypeByName(std::u16string_view name);

// A value as `reg query` shows it: "    BinPath    REG_SZ    D:\agent".
[[nodiscard]] std::u16string QueryLine(const registry::RegValue& value);
// The data of `reg add` in the stored form; nothing when it does not fit the type (a
// REG_DWORD that is not a number of 32 bits, hex digits of REG_BINARY in odd number, ...).
[[nodiscard]] std::optional<std::vector<registry::BYTE>> AddData(registry::DWORD type,
                                                                 std::u16string_view data,
                                                                 std::u16string_view separator);

}  // namespace telvinor::tools
