#include "cRegistry.h"

#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "automation/Conversions.h"
#include "automation/SafeArray.h"
#include "registry/Environment.h"
#include "registry/WinReg.h"
#include "text/AnsiText.h"

#ifndef TELVINOR_DELIVERABLE
#error "TELVINOR_DELIVERABLE names the deliverable that builds cRegistry in (Kelmora or Vessamor)"
#endif

namespace telvinor::console {
namespace {

using namespace telvinor::automation;
using namespace telvinor::registry;

constexpr std::u16string_view kErrorSource = u"" TELVINOR_DELIVERABLE ".cRegistry";
// The access CreateKey and DeleteValue ask for: every key right (KEY_ALL_ACCESS without the
// standard rights).
constexpr REGSAM kKeyRights = 0x3F;
// Subkey names are read into a buffer of 255 bytes; a longer one (up to 255 double-byte
// characters) is read again into one that holds any name Windows allows.
constexpr DWORD kSectionNameBuffer = 255;
constexpr DWORD kLongestSectionName = 2 * kMaxKeyNameLength + 1;
// Reads retried when another process changes the value between the size query and the read.
constexpr int kReadAttempts = 4;

std::string Ansi(std::u16string_view text) {
  return text::ToAnsi(text);
}

// A key opened by one operation, closed when the operation ends, however it ends.
class OpenedKey {
 public:
  OpenedKey() = default;
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  ~OpenedKey() {
    if (handle) RegCloseKey(handle);
  }
  HKEY handle = 0;
};

// The "%x%" rule: a "%", then another at least two places after it, makes an environment
// reference, and the text is stored as REG_EXPAND_SZ.
bool HasEnvironmentReference(std::u16string_view text) {
  std::size_t first = text.find(u'%');
  return first != std::u16string_view::npos &&
         text.find(u'%', first + 2) != std::u16string_view::npos;
}

// What VB's "&" makes of a value: Null is the empty text, anything that has no text raises.
std::u16string ConcatText(const Variant& v) {
  return v.IsNull() ? std::u16string() : ToString(v);
}

// A whole number in the range of a 32-bit integer, from a numeric value or numeric text;
// nothing for any other value (the write then fails instead of storing something else).
std::optional<std::int32_t> WholeNumber(const Variant& v) {
  double number = 0;
  switch (v.Type()) {
    case VarType::Integer:
      return v.AsInteger();
    case VarType::Long:
      return v.AsLong();
    case VarType::Byte:
      return v.AsByte();
    case VarType::Single:
      number = v.AsSingle();
      break;
    case VarType::Double:
      number = v.AsDouble();
      break;
    case VarType::Currency:
      number = static_cast<double>(v.AsCurrency()) / 10000.0;
      break;
    case VarType::String: {
      auto parsed = ParseNumber(v.AsString());
      if (!parsed) return std::nullopt;
      number = *parsed;
      break;
    }
    default:
      return std::nullopt;
  }
  if (!std::isfinite(number) || std::trunc(number) != number ||
      number < std::numeric_limits<std::int32_t>::min() ||
      number > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(number);
}

// A 1-based text array holding `names`; with no names, bounds 1 to 0.
Variant TextArray(const std::vector<std::u16string>& names) {
  auto array = MakeRef<SafeArray>(
      VarType::String, std::vector<SafeArray::Bound>{{1, static_cast<std::int32_t>(names.size())}});
  for (std::size_t i = 0; i < names.size(); ++i) array->Elements()[i] = Variant(names[i]);
  return Variant(array);
}

std::uint32_t Dword(const std::vector<BYTE>& data) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4 && i < data.size(); ++i)
    v |= static_cast<std::uint32_t>(data[i]) << (8 * i);
  return v;
}

// The stored data as the caller gets it, by type.
Variant Decode(DWORD type, std::vector<BYTE> data) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
      // The last byte is the terminator (for REG_MULTI_SZ the list's final one); a text
      // stored without one keeps all its characters.
      if (!data.empty() && data.back() == 0) data.pop_back();
      std::u16string text =
          text::FromAnsi(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
      return Variant(type == REG_EXPAND_SZ ? cRegistry::ExpandEnvironmentText(text) : text);
    }
    case REG_DWORD:
      return Variant(static_cast<std::int32_t>(Dword(data)));
    case REG_DWORD_BIG_ENDIAN:
      return Variant(static_cast<std::int32_t>(cRegistry::SwapByteOrder(Dword(data))));
    default:
      return Variant(SafeArray::FromBytes(data));
  }
}

// VB's On Error Resume Next for one statement: a failure skips it and the next one runs.
template <class F>
void ResumeNext(F statement) {
  try {
    statement();
  } catch (const AutomationError&) {
  } catch (const std::bad_alloc&) {
  }
}

}  // namespace

std::u16string_view cRegistry::ErrorSource() {
  return kErrorSource;
}

void cRegistry::Raise(std::int32_t number, std::u16string description) const {
  throw AutomationError(number, std::u16string(kErrorSource), std::move(description));
}

std::u16string cRegistry::RootText() const {
  std::string digits = std::to_string(classKey_);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string cRegistry::SetValueText(const Variant& value) const {
  std::u16string text;
  if (!value.IsArray()) {
    try {
      text = ConcatText(value);
    } catch (const AutomationError&) {
    }
  }
  return u"Failed to set registry value Key: '" + RootText() + u"',Section: '" + sectionKey_ +
         u"',Key: '" + valueKey_ + u"' to value: '" + text + u"'";
}

std::int16_t cRegistry::AnsiByteCount(std::u16string_view text) {
  std::int32_t count = static_cast<std::int32_t>(std::min<std::size_t>(text.size(), 0x10000));
  if (count > std::numeric_limits<std::int16_t>::max()) ThrowError(errc::kOverflow);
  for (char16_t c : text) {
    auto code = static_cast<std::int16_t>(text::AnsiCodeOf(c));  // a double-byte code is negative
    if (code > 128 || code < 0) {
      if (++count > std::numeric_limits<std::int16_t>::max()) ThrowError(errc::kOverflow);
    }
  }
  return static_cast<std::int16_t>(count);
}

std::uint32_t cRegistry::SwapByteOrder(std::uint32_t x) noexcept {
  return (x >> 24) | ((x >> 8) & 0xFF00u) | ((x << 8) & 0xFF0000u) | (x << 24);
}

std::u16string cRegistry::ExpandEnvironmentText(std::u16string_view text) {
  std::string source = Ansi(text);
  DWORD size = registry::ExpandEnvironmentStringsA(source.c_str(), nullptr, 0);
  std::string buffer(size, '\0');
  DWORD written = registry::ExpandEnvironmentStringsA(source.c_str(), buffer.data(), size);
  // The environment may have grown between the two calls: then keep the text unexpanded.
  if (size == 0 || written > size) return std::u16string(text);
  buffer.resize(size - 1);
  return text::FromAnsi(buffer);
}

bool cRegistry::KeyExists() const {
  OpenedKey key;
  return RegOpenKeyExA(static_cast<HKEY>(classKey_), Ansi(sectionKey_).c_str(), 0, KEY_QUERY_VALUE,
                       &key.handle) == ERROR_SUCCESS;
}

bool cRegistry::CreateKey() {
  OpenedKey key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(static_cast<HKEY>(classKey_), Ansi(sectionKey_).c_str(), 0, "",
                      REG_OPTION_NON_VOLATILE, kKeyRights, nullptr, &key.handle,
                      &disposition) != ERROR_SUCCESS)
    Raise(kRegistryError, u"Failed to create registry Key: '" + sectionKey_);
  return true;
}

bool cRegistry::DeleteKey() {
  if (RegDeleteKeyA(static_cast<HKEY>(classKey_), Ansi(sectionKey_).c_str()) != ERROR_SUCCESS)
    Raise(kRegistryError,
          u"Failed to delete registry Key: '" + RootText() + u"',Section: '" + sectionKey_);
  return true;
}

bool cRegistry::DeleteValue() {
  LONG status = ERROR_SUCCESS;
  {
    OpenedKey key;
    if (RegOpenKeyExA(static_cast<HKEY>(classKey_), Ansi(sectionKey_).c_str(), 0, kKeyRights,
                      &key.handle) != ERROR_SUCCESS)
      Raise(kRegistryError, u"Failed to open key '" + RootText() + u"',Section: '" + sectionKey_ +
                                u"' for delete access");
    status = RegDeleteValueA(key.handle, Ansi(valueKey_).c_str());
  }
  if (status != ERROR_SUCCESS)
    Raise(kRegistryError, u"Failed to delete registry Key: '" + RootText() + u"',Section: '" +
                              sectionKey_ + u"',Key: '" + valueKey_);
  return true;
}

Variant cRegistry::Value() {
  OpenedKey key;
  // A key that does not open shows as a failed query below.
  (void)RegOpenKeyExA(static_cast<HKEY>(classKey_), Ansi(sectionKey_).c_str(), 0, KEY_QUERY_VALUE,
                      &key.handle);
  std::string name = Ansi(valueKey_);
  for (int attempt = 1;; ++attempt) {
    DWORD type = 0, size = 0;
    LONG status = RegQueryValueExA(key.handle, name.c_str(), nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return default_;
    valueType_ = static_cast<std::int32_t>(type);
    std::vector<BYTE> data(size);
    DWORD read = size;
    status = RegQueryValueExA(key.handle, name.c_str(), nullptr, &type, data.data(), &read);
    if (status == ERROR_MORE_DATA && attempt < kReadAttempts) continue;
    if (status != ERROR_SUCCESS) return default_;
    valueType_ = static_cast<std::int32_t>(type);
    data.resize(read);
    return Decode(type, std::move(data));
  }
}

void cRegistry::SetValue(const Variant& vValue) {
  OpenedKey key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(static_cast<HKEY>(classKey_), Ansi(sectionKey_).c_str(), 0, "",
                      REG_OPTION_NON_VOLATILE, kKeyRights, nullptr, &key.handle,
                      &disposition) != ERROR_SUCCESS)
    Raise(kRegistryError, SetValueText(vValue));
  std::string name = Ansi(valueKey_);
  LONG status = ERROR_INVALID_DATA;
  switch (valueType_) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::u16string text;
      std::string data;
      try {
        text = ToString(vValue);
        if (!text.empty()) {
          // The length rule is AnsiByteCount + 1 in 16 bits (so a text of 32,767 bytes or
          // more overflows); the bytes written are those of the converted text and its
          // terminator, which is the same count in the double-byte code page and never
          // reads past the text in another one.
          if (AnsiByteCount(text) == std::numeric_limits<std::int16_t>::max())
            ThrowError(errc::kOverflow);
          data = Ansi(text);
          data.push_back('\0');
        }
      } catch (const AutomationError& e) {
        Raise(e.Number(), e.Description());  // a run-time error of this class: its source
      }
      DWORD type = HasEnvironmentReference(text) ? REG_EXPAND_SZ : REG_SZ;
      status = RegSetValueExA(key.handle, name.c_str(), 0, type,
                              reinterpret_cast<const BYTE*>(data.data()),
                              static_cast<DWORD>(data.size()));
      break;
    }
    case REG_BINARY: {
      if (vValue.Type() != (VarType::Array | VarType::Byte)) throw AutomationError(kRegistryError);
      std::vector<BYTE> bytes;
      for (const auto& e : vValue.AsArray().Elements()) bytes.push_back(e.AsByte());
      status = RegSetValueExA(key.handle, name.c_str(), 0, REG_BINARY, bytes.data(),
                              static_cast<DWORD>(bytes.size()));
      break;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
      // Written as REG_DWORD, little-endian, whichever of the two was asked for.
      if (auto number = WholeNumber(vValue)) {
        auto v = static_cast<std::uint32_t>(*number);
        const BYTE data[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8),
                              static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 24)};
        status = RegSetValueExA(key.handle, name.c_str(), 0, REG_DWORD, data, sizeof data);
      }
      break;
    }
    default:
      break;  // no other type can be written: ERROR_INVALID_DATA
  }
  if (status != ERROR_SUCCESS) Raise(kSetValueError, SetValueText(vValue));
}

bool cRegistry::EnumerateValues(Variant& sKeyNames, std::int32_t& iKeyCount) {
  sKeyNames = TextArray({});
  iKeyCount = 0;
  OpenedKey key;
  if (RegOpenKeyExA(static_cast<HKEY>(classKey_), Ansi(sectionKey_).c_str(), 0, KEY_QUERY_VALUE,
                    &key.handle) != ERROR_SUCCESS)
    return true;
  DWORD longest = 0;
  if (RegQueryInfoKeyA(key.handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return true;
  std::vector<std::u16string> names;
  std::string buffer(std::max<DWORD>(longest + 1, 1), '\0');
  for (DWORD index = 0;; ++index) {
    auto length = static_cast<DWORD>(buffer.size());
    if (RegEnumValueA(key.handle, index, buffer.data(), &length, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS)
      break;
    names.push_back(text::FromAnsi(std::string_view(buffer.data(), length)));
  }
  sKeyNames = TextArray(names);
  iKeyCount = static_cast<std::int32_t>(names.size());
  return true;
}

bool cRegistry::EnumerateSections(Variant& sSect, std::int32_t& iSectCount) {
  try {
    sSect = TextArray({});
    iSectCount = 0;
    OpenedKey key;
    if (RegOpenKeyExA(static_cast<HKEY>(classKey_), Ansi(sectionKey_).c_str(), 0,
                      KEY_ENUMERATE_SUB_KEYS, &key.handle) != ERROR_SUCCESS)
      return true;
    std::vector<std::u16string> names;
    std::string buffer(kLongestSectionName, '\0');
    for (DWORD index = 0;; ++index) {
      LONG status = RegEnumKeyA(key.handle, index, buffer.data(), kSectionNameBuffer);
      if (status == ERROR_MORE_DATA)
        status = RegEnumKeyA(key.handle, index, buffer.data(), kLongestSectionName);
      if (status != ERROR_SUCCESS) break;
      names.push_back(text::FromAnsi(std::string_view(buffer.c_str())));
    }
    sSect = TextArray(names);
    iSectCount = static_cast<std::int32_t>(names.size());
    return true;
  } catch (const AutomationError& e) {
    Raise(kEnumerationError, e.Description());
  } catch (const std::bad_alloc&) {
    Raise(kEnumerationError, std::u16string(StandardErrorText(errc::kOutOfMemory)));
  }
}

void cRegistry::WriteToBothClassRoots(std::u16string_view text) {
  classKey_ = kClassesRoot;
  SetValue(Variant(text));
  std::u16string remembered = sectionKey_;
  classKey_ = kLocalMachine;
  sectionKey_ = u"SOFTWARE\\Classes\\" + remembered;
  SetValue(Variant(text));
  sectionKey_ = remembered;
}

void cRegistry::CreateEXEAssociation(const ExeAssociation& a) {
  // The program path in double quotes, each one added only where it is missing.
  std::u16string_view path = a.sExePath;
  while (!path.empty() && path.front() == u' ') path.remove_prefix(1);
  while (!path.empty() && path.back() == u' ') path.remove_suffix(1);
  std::u16string x(path);
  if (x.empty() || x.front() != u'"') x.insert(x.begin(), u'"');
  if (x.size() < 2 || x.back() != u'"') x.push_back(u'"');

  valueType_ = REG_SZ;
  valueKey_.clear();
  auto write = [&](std::u16string key, std::u16string_view text) {
    sectionKey_ = std::move(key);
    valueKey_.clear();
    WriteToBothClassRoots(text);
  };
  auto verb = [&](std::u16string_view name, std::u16string_view menu, std::u16string_view fallback,
                  std::u16string_view option) {
    std::u16string key = a.sClassName + u"\\shell\\" + std::u16string(name);
    write(key, menu.empty() ? fallback : menu);
    write(key + u"\\command",
          x + u" " + std::u16string(option) + (option.empty() ? u"" : u" ") + u"\"%1\"");
  };
  write(u"." + a.sAssociation, a.sClassName);
  write(a.sClassName, a.sClassDescription);
  verb(u"open", a.sOpenMenuText, u"&Open", u"");
  if (a.bSupportPrint) verb(u"print", a.sPrintMenuText, u"&Print", u"/p");
  if (a.bSupportInstall) verb(u"add", a.sInstallMenuText, u"&Install " + a.sAssociation, u"/a");
  if (a.bSupportNew) verb(u"new", a.sNewMenuText, u"&New", u"/n");
  if (a.lDefaultIconIndex >= 0) {
    std::string index = std::to_string(a.lDefaultIconIndex);
    write(a.sClassName + u"\\DefaultIcon", x + u"," + std::u16string(index.begin(), index.end()));
  }
}

void cRegistry::CreateAdditionalEXEAssociations(std::u16string_view sClassName,
                                                std::span<const Variant> vItems) {
  if (vItems.size() % 3 != 0)
    Raise(kParameterListError,
          u"Invalid parameter list passed to CreateAdditionalEXEAssociations - expected "
          u"Name/Text/Command");
  sectionKey_ = sClassName;
  if (!KeyExists())
    Raise(kClassMissingError,
          u"Error - attempt to create additional associations before class defined.");
  const std::u16string className(sClassName);
  for (std::size_t i = 0; i < vItems.size(); i += 3) {
    // Each statement on its own: a failed write is skipped and the next statement runs.
    ResumeNext([&] { valueType_ = REG_SZ; });
    ResumeNext([&] { sectionKey_ = className + u"\\shell\\" + ConcatText(vItems[i]); });
    ResumeNext([&] { valueKey_.clear(); });
    ResumeNext([&] { WriteToBothClassRoots(ToString(vItems[i + 1])); });
    ResumeNext(
        [&] { sectionKey_ = className + u"\\shell\\" + ConcatText(vItems[i]) + u"\\command"; });
    ResumeNext([&] { valueKey_.clear(); });
    ResumeNext([&] { WriteToBothClassRoots(ToString(vItems[i + 2])); });
  }
}

const ClassInfo& cRegistry::Class() {
  // Dispatch ids numbered in member order as VB numbers a class's members: 0x6803.... for
  // properties, 0x6003.... for methods.
  static const ClassInfo info =
      ClassBuilder<cRegistry>(u"cRegistry")
          .Get(u"KeyExists", 0x68030000, VarType::Boolean,
               [](cRegistry& r) { return r.KeyExists(); })
          .Method(
              u"CreateKey", 0x60030001, {},
              [](cRegistry& r, std::span<Variant>) { return r.CreateKey(); }, VarType::Boolean)
          .Method(
              u"DeleteKey", 0x60030002, {},
              [](cRegistry& r, std::span<Variant>) { return r.DeleteKey(); }, VarType::Boolean)
          .Method(
              u"DeleteValue", 0x60030003, {},
              [](cRegistry& r, std::span<Variant>) { return r.DeleteValue(); }, VarType::Boolean)
          .Get(u"Value", 0x68030004, VarType::Variant, [](cRegistry& r) { return r.Value(); })
          .Let(u"Value", 0x68030004, VarType::Variant,
               [](cRegistry& r, const Variant& v) { r.SetValue(v); })
          .Method(
              u"EnumerateValues", 0x60030005,
              {Param(u"sKeyNames", VarType::Variant, Pass::ByRef),
               Param(u"iKeyCount", VarType::Long, Pass::ByRef)},
              [](cRegistry& r, std::span<Variant> a) {
                std::int32_t count = a[1].AsLong();
                bool done = r.EnumerateValues(a[0], count);
                a[1] = Variant(count);
                return done;
              },
              VarType::Boolean)
          .Method(
              u"EnumerateSections", 0x60030006,
              {Param(u"sSect", VarType::Variant, Pass::ByRef),
               Param(u"iSectCount", VarType::Long, Pass::ByRef)},
              [](cRegistry& r, std::span<Variant> a) {
                std::int32_t count = a[1].AsLong();
                bool done = r.EnumerateSections(a[0], count);
                a[1] = Variant(count);
                return done;
              },
              VarType::Boolean)
          .Method(u"CreateEXEAssociation", 0x60030007,
                  {Param(u"sExePath", VarType::String), Param(u"sClassName", VarType::String),
                   Param(u"sClassDescription", VarType::String),
                   Param(u"sAssociation", VarType::String),
                   OptionalParam(u"sOpenMenuText", VarType::String, u"&Open"),
                   OptionalParam(u"bSupportPrint", VarType::Boolean, false),
                   OptionalParam(u"sPrintMenuText", VarType::String, u"&Print"),
                   OptionalParam(u"bSupportNew", VarType::Boolean, false),
                   OptionalParam(u"sNewMenuText", VarType::String, u"&New"),
                   OptionalParam(u"bSupportInstall", VarType::Boolean, false),
                   OptionalParam(u"sInstallMenuText", VarType::String, u""),
                   OptionalParam(u"lDefaultIconIndex", VarType::Long, -1)},
                  [](cRegistry& r, std::span<Variant> a) {
                    ExeAssociation e;
                    e.sExePath = a[0].AsString();
                    e.sClassName = a[1].AsString();
                    e.sClassDescription = a[2].AsString();
                    e.sAssociation = a[3].AsString();
                    e.sOpenMenuText = a[4].AsString();
                    e.bSupportPrint = a[5].AsBoolean();
                    e.sPrintMenuText = a[6].AsString();
                    e.bSupportNew = a[7].AsBoolean();
                    e.sNewMenuText = a[8].AsString();
                    e.bSupportInstall = a[9].AsBoolean();
                    e.sInstallMenuText = a[10].AsString();
                    e.lDefaultIconIndex = a[11].AsLong();
                    r.CreateEXEAssociation(e);
                  })
          .Method(u"CreateAdditionalEXEAssociations", 0x60030008,
                  {Param(u"sClassName", VarType::String), ParamArray(u"vItems")},
                  [](cRegistry& r, std::span<Variant> a) {
                    r.CreateAdditionalEXEAssociations(a[0].AsString(), a[1].AsArray().Elements());
                  })
          .Property(
              u"ValueType", 0x68030009, VarType::Long, [](cRegistry& r) { return r.ValueType(); },
              [](cRegistry& r, const Variant& v) { r.SetValueType(v.AsLong()); })
          .Property(
              u"ClassKey", 0x6803000a, VarType::Long, [](cRegistry& r) { return r.ClassKey(); },
              [](cRegistry& r, const Variant& v) { r.SetClassKey(v.AsLong()); })
          .Property(
              u"SectionKey", 0x6803000b, VarType::String,
              [](cRegistry& r) { return Variant(r.SectionKey()); },
              [](cRegistry& r, const Variant& v) { r.SetSectionKey(std::u16string(v.AsString())); })
          .Property(
              u"ValueKey", 0x6803000c, VarType::String,
              [](cRegistry& r) { return Variant(r.ValueKey()); },
              [](cRegistry& r, const Variant& v) { r.SetValueKey(std::u16string(v.AsString())); })
          .Property(
              u"Default", 0x6803000d, VarType::Variant, [](cRegistry& r) { return r.Default(); },
              [](cRegistry& r, const Variant& v) { r.SetDefault(v); })
          .Build();
  return info;
}

}  // namespace telvinor::console
