#include "RegTool.h"

#include <fstream>
#include <sstream>

#include "RegCommand.h"
#include "registry/HiveStore.h"
#include "registry/RegFile.h"
#include "text/Utf8.h"

namespace telvinor::tools {
namespace {

using registry::Hive;
using registry::HiveKey;
using registry::HiveStore;
using registry::StoreStatus;
using registry::WriteOutcome;

constexpr const char* kDone = "The operation completed successfully.";
constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.";
constexpr const char* kCancelled = "The operation was cancelled by the user.";

std::string Utf8(std::u16string_view text) {
  return text::ToUtf8(text);
}

std::u16string Utf16(std::string_view text) {
  // Arguments are UTF-8; the .reg reader's decoder is strict, so decode leniently here.
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (i + n > text.size()) n = 1;
    char32_t c = n == 1 ? (b < 0x80 ? b : 0xFFFD) : (b & (0xFF >> (n + 1)));
    for (std::size_t k = 1; k < n; ++k)
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += n;
  }
  return out;
}

const char* const kUsage =
    "REG QUERY  KeyName [/v ValueName | /ve] [/s]\n"
    "REG ADD    KeyName [/v ValueName | /ve] [/t Type] [/s Separator] [/d Data] [/f]\n"
    "REG DELETE KeyName [/v ValueName | /ve | /va] [/f]\n"
    "REG EXPORT KeyName FileName [/y]\n"
    "REG IMPORT FileName\n"
    "\n"
    "  KeyName    ROOTKEY\\SubKey, ROOTKEY one of HKLM, HKCU, HKCR, HKU (or written in full)\n"
    "  /v         the value to query, add or delete;  /ve  the default (unnamed) value\n"
    "  /va        delete every value of the key\n"
    "  /s         query: the key and all its subkeys; add: the REG_MULTI_SZ separator (\\0)\n"
    "  /t         REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD,\n"
    "             REG_BINARY, REG_NONE\n"
    "  /d         the data; REG_DWORD in decimal or 0x hex, REG_BINARY as hex digits\n"
    "  /f         add or delete without asking;  /y  export over an existing file\n"
    "\n"
    "The registry hive is the file TELVINOR_REGISTRY names, or\n"
    "${XDG_DATA_HOME:-$HOME/.local/share}/telvinor/registry.reg.\n";

class Runner {
 public:
  Runner(const RegCommand& c, RegConsole& console) : c_(c), console_(console) {}

  int Run() {
    if (c_.operation == RegOperation::Import) return Import();
    auto path = registry::ParseFullKeyPath(c_.key);
    if (!path)
      return Fail("ERROR: Invalid key name.\nType \"REG " + Operation() + " /?\" for usage.");
    path_ = std::move(*path);
    switch (c_.operation) {
      case RegOperation::Query:
        return Query();
      case RegOperation::Add:
        return Add();
      case RegOperation::Delete:
        return Delete();
      case RegOperation::Export:
        return Export();
      case RegOperation::Import:
        break;
    }
    return 1;
  }

 private:
  std::string Operation() const {
    constexpr const char* kNames[] = {"QUERY", "ADD", "DELETE", "EXPORT", "IMPORT"};
    return kNames[static_cast<int>(c_.operation)];
  }
  int Fail(const std::string& message) {
    console_.err << message << "\n";
    return 1;
  }
  int Done() {
    console_.out << kDone << "\n";
    return 0;
  }
  int StoreFailure(StoreStatus status) {
    std::string why = HiveStore::Current().LastError();
    if (status == StoreStatus::AccessDenied) return Fail("ERROR: Access is denied. " + why);
    return Fail("ERROR: " + why);
  }
  // The key as the user named it, with the root written in full.
  std::u16string KeyText(std::span<const std::u16string> below = {}) const {
    std::u16string text = registry::FullKeyPathText(*path_.root, path_.names);
    for (const auto& n : below) text += u"\\" + n;
    return text;
  }

  int Query() {
    std::ostringstream out;
    bool found = false;
    int matches = 0;
    StoreStatus status = HiveStore::Current().Read([&](const Hive& hive) {
      const HiveKey* key = hive.Find(*path_.root, path_.names);
      if (!key) return;
      found = true;
      std::vector<std::u16string> trail;
      if (c_.value) {
        if (c_.recurse) {
          SearchValue(*key, trail, out, matches);
        } else if (const auto* v = key->Value(*c_.value)) {
          out << "\n" << Utf8(KeyText()) << "\n" << Utf8(QueryLine(*v)) << "\n\n";
          ++matches;
        } else if (c_.value->empty()) {
          out << "\n" << Utf8(KeyText()) << "\n    (Default)    REG_SZ    (value not set)\n\n";
          ++matches;
        }
      } else if (c_.recurse) {
        ListTree(*key, trail, out);
      } else {
        out << "\n";
        if (!key->Values().empty()) {
          out << Utf8(KeyText()) << "\n";
          for (const auto& v : key->Values()) out << Utf8(QueryLine(v)) << "\n";
          out << "\n";
        }
        for (const auto& child : key->Children())
          out << Utf8(KeyText() + u"\\" + child->Name()) << "\n";
      }
    });
    if (status != StoreStatus::Ok) return StoreFailure(status);
    if (!found || (c_.value && !c_.recurse && matches == 0)) return Fail(kNotFound);
    console_.out << out.str();
    if (c_.value && c_.recurse) {
      console_.out << "End of search: " << matches << " match(es) found.\n";
      return matches ? 0 : 1;
    }
    return 0;
  }

  void ListTree(const HiveKey& key, std::vector<std::u16string>& trail,
                std::ostringstream& out) const {
    out << "\n" << Utf8(KeyText(trail)) << "\n";
    for (const auto& v : key.Values()) out << Utf8(QueryLine(v)) << "\n";
    for (const auto& child : key.Children()) {
      trail.push_back(child->Name());
      ListTree(*child, trail, out);
      trail.pop_back();
    }
  }

  void SearchValue(const HiveKey& key, std::vector<std::u16string>& trail, std::ostringstream& out,
                   int& matches) const {
    if (const auto* v = key.Value(*c_.value)) {
      out << "\n" << Utf8(KeyText(trail)) << "\n" << Utf8(QueryLine(*v)) << "\n";
      ++matches;
    }
    for (const auto& child : key.Children()) {
      trail.push_back(child->Name());
      SearchValue(*child, trail, out, matches);
      trail.pop_back();
    }
  }

  int Add() {
    registry::DWORD type = registry::REG_SZ;
    if (c_.type) {
      auto named = TypeByName(*c_.type);
      if (!named) return Fail("ERROR: Invalid syntax.\nType \"REG ADD /?\" for usage.");
      type = *named;
    }
    std::optional<std::vector<registry::BYTE>> data;
    // Without /v or /ve, /t or /d set the default value; with neither only the key is made.
    std::optional<std::u16string> name = c_.value;
    if (!name && (c_.type || c_.data)) name = u"";
    if (name) {
      data = AddData(type, c_.data.value_or(u""), c_.separator);
      if (!data) return Fail("ERROR: Invalid syntax.\nType \"REG ADD /?\" for usage.");
    }
    if (name && !c_.force) {
      bool exists = false;
      StoreStatus status = HiveStore::Current().Read([&](const Hive& hive) {
        const HiveKey* key = hive.Find(*path_.root, path_.names);
        exists = key && key->Value(*name);
      });
      if (status != StoreStatus::Ok) return StoreFailure(status);
      std::string shown = name->empty() ? "(Default)" : Utf8(*name);
      if (exists && !Confirm("Value " + shown + " exists, overwrite(Yes/No)?")) return Cancelled();
    }
    bool tooDeep = false;
    StoreStatus status = HiveStore::Current().Write([&](Hive& hive) {
      bool created = false;
      HiveKey* key = hive.Create(*path_.root, path_.names, created);
      if (!key) {
        tooDeep = true;
        return WriteOutcome::Unchanged;
      }
      if (name) key->SetValue(*name, type, std::move(*data));
      return WriteOutcome::Save;
    });
    if (status != StoreStatus::Ok) return StoreFailure(status);
    if (tooDeep) return Fail("ERROR: Invalid key name.\nType \"REG ADD /?\" for usage.");
    return Done();
  }

  int Delete() {
    bool exists = false;
    StoreStatus status = HiveStore::Current().Read([&](const Hive& hive) {
      const HiveKey* key = hive.Find(*path_.root, path_.names);
      exists = key && (!c_.value || key->Value(*c_.value));
    });
    if (status != StoreStatus::Ok) return StoreFailure(status);
    if (!exists) return Fail(kNotFound);
    if (!c_.force) {
      std::string question =
          c_.value
              ? "Delete the registry value " +
                    (c_.value->empty() ? std::string("(Default)") : Utf8(*c_.value)) + " (Yes/No)?"
          : c_.allValues
              ? "Delete all values under the registry key " + Utf8(KeyText()) + " (Yes/No)?"
              : "Permanently delete the registry key " + Utf8(KeyText()) + " (Yes/No)?";
      if (!Confirm(question)) return Cancelled();
    }
    bool missing = false, refused = false;
    status = HiveStore::Current().Write([&](Hive& hive) {
      HiveKey* key = hive.Find(*path_.root, path_.names);
      if (!key) {
        missing = true;
        return WriteOutcome::Unchanged;
      }
      if (c_.value) {
        missing = !key->RemoveValue(*c_.value);
      } else if (c_.allValues) {
        key->ClearValues();
      } else {
        auto result = hive.Delete(*path_.root, path_.names, registry::DeleteMode::Tree);
        missing = result == registry::DeleteResult::NotFound;
        refused = result == registry::DeleteResult::Protected;
      }
      return missing || refused ? WriteOutcome::Unchanged : WriteOutcome::Save;
    });
    if (status != StoreStatus::Ok) return StoreFailure(status);
    if (missing) return Fail(kNotFound);
    if (refused) return Fail("ERROR: Access is denied.");
    return Done();
  }

  int Export() {
    std::string text;
    StoreStatus status = HiveStore::Current().Read([&](const Hive& hive) {
      if (const HiveKey* key = hive.Find(*path_.root, path_.names))
        text = registry::WriteKeyText(KeyText(), *key);
    });
    if (status != StoreStatus::Ok) return StoreFailure(status);
    if (text.empty()) return Fail(kNotFound);
    std::string file = Utf8(c_.file);
    if (!c_.force && std::ifstream(file).good() &&
        !Confirm("File " + file + " already exists. Overwrite (Yes/No)?"))
      return Cancelled();
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream << text;
    stream.close();
    if (!stream) return Fail("ERROR: Cannot write " + file + ".");
    return Done();
  }

  int Import() {
    std::string file = Utf8(c_.file);
    std::ifstream stream(file, std::ios::binary);
    if (!stream) return Fail("ERROR: Error opening the file " + file + ".");
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    auto parsed = registry::ParseRegFile(bytes.str());
    if (parsed.error)
      return Fail("ERROR: " + file + ":" + std::to_string(parsed.error->line) + ": " +
                  parsed.error->message);
    std::optional<registry::RegFileError> refused;
    StoreStatus status = HiveStore::Current().Write([&](Hive& hive) {
      refused = registry::ApplyRegFile(parsed.file, hive);
      return refused ? WriteOutcome::Abandon : WriteOutcome::Save;
    });
    if (status != StoreStatus::Ok) return StoreFailure(status);
    if (refused)
      return Fail("ERROR: " + file + ":" + std::to_string(refused->line) + ": " + refused->message);
    return Done();
  }

  bool Confirm(const std::string& question) {
    return console_.confirm && console_.confirm(question);
  }
  int Cancelled() {
    console_.out << kCancelled << "\n";
    return 1;
  }

  const RegCommand& c_;
  RegConsole& console_;
  registry::FullKeyPath path_;
};

}  // namespace

int RunReg(const std::vector<std::string>& words, RegConsole& console) {
  std::vector<std::u16string> wide;
  for (const auto& w : words) wide.push_back(Utf16(w));
  if (wide.empty() || wide[0] == u"/?" || wide[0] == u"-?") {
    (wide.empty() ? console.err : console.out) << kUsage;
    return wide.empty() ? 1 : 0;
  }
  RegParse parse = ParseRegCommand(wide);
  if (!parse.command) {
    std::string op = Utf8(parse.operationName);
    console.err << "ERROR: Invalid syntax.\nType \"REG " << (op.empty() ? "" : op + " ")
                << "/?\" for usage.\n";
    return 1;
  }
  if (parse.command->help) {
    console.out << kUsage;
    return 0;
  }
  return Runner(*parse.command, console).Run();
}

}  // namespace telvinor::tools
