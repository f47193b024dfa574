#pragma once
// The registry editor's text format (".reg", version 5.00): the hive file, and what
// `reg export` writes and `reg import` reads. Pure: text in, text out, no files.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Brenlow\Ostrel\Telvinor]
//   "BinPath"="D:\\agent"
//   @="the key's default value"
//   "Count"=dword:0000001f
//   "Bytes"=hex:01,02,ff
//   "Path"=hex(2):25,00,54,00,00,00        <- any type number; text types as UTF-16LE
//   "Old"=-                                <- import only: remove the value
//   [-HKEY_CURRENT_USER\Software\Gone]     <- import only: remove the key and its subkeys
//
// Files are read as UTF-8 (a byte-order mark is allowed) or as UTF-16LE with its byte-order
// mark, the form the Windows registry editor writes; they are written as UTF-8. Text values
// that a quoted string cannot carry exactly (no terminator, an embedded NUL, a line break)
// are written as hex(1), hex(2) or hex(7) so that nothing changes on the way back in.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/Hive.h"
#include "registry/RegValue.h"

namespace telvinor::registry {

inline constexpr std::u16string_view kRegFileHeader = u"Windows Registry Editor Version 5.00";

struct RegFileEntry {
  RegValue value;
  bool remove = false;  // "name"=-
  std::size_t line = 0;
};

struct RegFileSection {
  const RootInfo* root = nullptr;
  std::vector<std::u16string> names;
  bool remove = false;  // [-KEY]
  std::vector<RegFileEntry> entries;
  std::size_t line = 0;
};

struct RegFile {
  std::vector<RegFileSection> sections;
};

struct RegFileError {
  std::size_t line = 0;  // 1-based
  std::string message;   // UTF-8
};

struct RegFileParseResult {
  RegFile file;
  std::optional<RegFileError> error;  // set: the text is not a registry file; `file` is partial
};

[[nodiscard]] RegFileParseResult ParseRegFile(std::string_view bytes);

// Applies a parsed file to a hive as importing it does. A [-KEY] section naming a root or a
// key every installation has (HKEY_LOCAL_MACHINE\SOFTWARE\Classes) is refused: the error
// names its line, and the sections before it have been applied.
[[nodiscard]] std::optional<RegFileError> ApplyRegFile(const RegFile& file, Hive& hive);

// The whole hive: every key of every tree, depth first, each key a section.
[[nodiscard]] std::string WriteHiveText(const Hive& hive);
// One key and everything below it, named by `path` (e.g. "HKEY_CLASSES_ROOT\.txt").
[[nodiscard]] std::string WriteKeyText(std::u16string_view path, const HiveKey& key);
// One value as the format writes it, long hex lists wrapped with "\" (no final line break).
[[nodiscard]] std::u16string ValueLine(const RegValue& value);

}  // namespace telvinor::registry
