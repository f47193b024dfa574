#include "vbscript/ErrObject.h"

#include "automation/Conversions.h"

namespace telvinor::vbscript {

using automation::OptionalParam;
using automation::Param;
using automation::Variant;
using automation::VarType;

void ErrObject::Set(const automation::AutomationError& e) {
  number = e.Number();
  source = e.Source();
  if (auto* s = dynamic_cast<const ScriptError*>(&e))
    description = s->ScriptDescription();
  else
    description = e.Description();
  helpFile.clear();
  helpContext = 0;
}

void ErrObject::Clear() {
  number = 0;
  description.clear();
  source.clear();
  helpFile.clear();
  helpContext = 0;
}

const automation::ClassInfo& ErrObject::Class() {
  static const automation::ClassInfo info =
      automation::ClassBuilder<ErrObject>(u"ErrObject")
          .Property(
              u"Number", automation::kDispIdValue, VarType::Long,
              [](ErrObject& e) { return e.number; },
              [](ErrObject& e, const Variant& v) { e.number = v.AsLong(); })
          .Property(
              u"Description", 1, VarType::String,
              [](ErrObject& e) { return Variant(e.description); },
              [](ErrObject& e, const Variant& v) { e.description = std::u16string(v.AsString()); })
          .Property(
              u"Source", 2, VarType::String, [](ErrObject& e) { return Variant(e.source); },
              [](ErrObject& e, const Variant& v) { e.source = std::u16string(v.AsString()); })
          .Property(
              u"HelpFile", 3, VarType::String, [](ErrObject& e) { return Variant(e.helpFile); },
              [](ErrObject& e, const Variant& v) { e.helpFile = std::u16string(v.AsString()); })
          .Property(
              u"HelpContext", 4, VarType::Long, [](ErrObject& e) { return e.helpContext; },
              [](ErrObject& e, const Variant& v) { e.helpContext = v.AsLong(); })
          .Method(u"Clear", 5, {}, [](ErrObject& e, std::span<Variant>) { e.Clear(); })
          .Method(
              u"Raise", 6,
              {Param(u"Number", VarType::Long), OptionalParam(u"Source", VarType::Variant),
               OptionalParam(u"Description", VarType::Variant),
               OptionalParam(u"HelpFile", VarType::Variant),
               OptionalParam(u"HelpContext", VarType::Variant)},
              [](ErrObject& e, std::span<Variant> a) {
                std::int32_t n = a[0].AsLong();
                // Raise 0 is not an error number the language accepts.
                if (n == 0) ThrowRuntime(err::kInvalidProcedureCall);
                std::u16string source =
                    a[1].IsMissing() ? std::u16string(kRuntimeSource) : automation::ToString(a[1]);
                std::u16string description =
                    a[2].IsMissing() ? std::u16string(ErrorText(n)) : automation::ToString(a[2]);
                ScriptError error(ErrorKind::Runtime, n, std::move(source), std::move(description));
                if (!a[3].IsMissing()) e.helpFile = automation::ToString(a[3]);
                if (!a[4].IsMissing()) e.helpContext = automation::ToLong(a[4]);
                throw error;
              })
          .Build();
  return info;
}

}  // namespace telvinor::vbscript
