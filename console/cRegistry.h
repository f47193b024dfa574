#pragma once
// cRegistry: the settings class. The caller says where to work (ClassKey, SectionKey,
// ValueKey, ValueType) and then reads or assigns Value; every operation opens and closes its
// registry key, so an object holds no handle between calls. Two further operations write
// shell file associations into both class roots.
//
// One source, built into the console (Kelmora) and the interpreter library (Vessamor): each
// build names itself in TELVINOR_DELIVERABLE, which makes the source of the errors it raises
// ("Kelmora.cRegistry", "Vessamor.cRegistry"). In both it is an internal class: it has no
// ProgID and no registration, so other programs cannot create it.
//
// Names and text cross the registry in the ANSI code page (the registry's ANSI calls).
// Errors are AutomationErrors; after an error every key the operation opened is closed and
// the properties keep the values they had at that point.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "automation/ClassInfo.h"

namespace telvinor::console {

using automation::Variant;

// The options of CreateEXEAssociation, with its defaults.
struct ExeAssociation {
  std::u16string sExePath, sClassName, sClassDescription, sAssociation;
  std::u16string sOpenMenuText = u"&Open";
  bool bSupportPrint = false;
  std::u16string sPrintMenuText = u"&Print";
  bool bSupportNew = false;
  std::u16string sNewMenuText = u"&New";
  bool bSupportInstall = false;
  std::u16string sInstallMenuText;
  std::int32_t lDefaultIconIndex = -1;
};

class cRegistry : public automation::AutomationObject<cRegistry> {
 public:
  // Error numbers; the object-defined ones are 1048 + 26001.. above the automation
  // object-error base (0x80040000).
  static constexpr std::int32_t kRegistryError = 26001;
  static constexpr auto kSetValueError = static_cast<std::int32_t>(0x800469a9u);
  static constexpr auto kEnumerationError = static_cast<std::int32_t>(0x800469aau);
  static constexpr auto kParameterListError = static_cast<std::int32_t>(0x800469acu);
  static constexpr auto kClassMissingError = static_cast<std::int32_t>(0x800469adu);

  // The root handles the system uses.
  static constexpr auto kClassesRoot = static_cast<std::int32_t>(0x80000000u);
  static constexpr auto kLocalMachine = static_cast<std::int32_t>(0x80000002u);

  static const automation::ClassInfo& Class();
  // "Kelmora.cRegistry" or "Vessamor.cRegistry".
  [[nodiscard]] static std::u16string_view ErrorSource();

  // Plain stores, no checks.
  [[nodiscard]] std::int32_t ClassKey() const noexcept { return classKey_; }
  void SetClassKey(std::int32_t eKey) noexcept { classKey_ = eKey; }
  [[nodiscard]] const std::u16string& SectionKey() const noexcept { return sectionKey_; }
  void SetSectionKey(std::u16string sSectionKey) { sectionKey_ = std::move(sSectionKey); }
  [[nodiscard]] const std::u16string& ValueKey() const noexcept { return valueKey_; }
  void SetValueKey(std::u16string sValueKey) { valueKey_ = std::move(sValueKey); }
  [[nodiscard]] std::int32_t ValueType() const noexcept { return valueType_; }
  void SetValueType(std::int32_t eValueType) noexcept { valueType_ = eValueType; }
  [[nodiscard]] const Variant& Default() const noexcept { return default_; }
  void SetDefault(const Variant& vDefault) { default_ = vDefault.Deref(); }

  // True when SectionKey under ClassKey opens for query access. Never raises.
  [[nodiscard]] bool KeyExists() const;
  bool CreateKey();
  bool DeleteKey();
  bool DeleteValue();
  // Reads ValueKey: text, a 32-bit integer or a byte array by the stored type, which becomes
  // ValueType; Default when the value cannot be read.
  [[nodiscard]] Variant Value();
  void SetValue(const Variant& vValue);
  // Fill a 1-based text array with the names of the values / subkeys of SectionKey.
  bool EnumerateValues(Variant& sKeyNames, std::int32_t& iKeyCount);
  bool EnumerateSections(Variant& sSect, std::int32_t& iSectCount);

  void CreateEXEAssociation(const ExeAssociation& association);
  void CreateAdditionalEXEAssociations(std::u16string_view sClassName,
                                       std::span<const Variant> vItems);

  // The byte count of a text in the ANSI code page, as VB's 16-bit Integer: the number of
  // characters plus one for each character whose code is above 128 or negative (a
  // double-byte character). Raises 6 "Overflow" past 32,767.
  [[nodiscard]] static std::int16_t AnsiByteCount(std::u16string_view text);
  [[nodiscard]] static std::uint32_t SwapByteOrder(std::uint32_t x) noexcept;
  [[nodiscard]] static std::u16string ExpandEnvironmentText(std::u16string_view text);

 private:
  void WriteToBothClassRoots(std::u16string_view text);
  [[noreturn]] void Raise(std::int32_t number, std::u16string description) const;
  [[nodiscard]] std::u16string RootText() const;
  [[nodiscard]] std::u16string SetValueText(const Variant& value) const;

  std::int32_t classKey_ = 0;
  std::u16string sectionKey_;
  std::u16string valueKey_;
  std::int32_t valueType_ = 0;
  Variant default_;
};

}  // namespace telvinor::console
