#include "xmldom/DomParseError.h"

#include "xmldom/DomMembers.h"

namespace telvinor::xmldom {

const automation::ClassInfo& DomParseError::Class() {
  using automation::VarType;
  using E = DomParseError;
  static const automation::ClassInfo info =
      automation::ClassBuilder<E>(u"IXMLDOMParseError")
          .Get(u"errorCode", dispid::kErrorCode, VarType::Long,
               [](E& e) { return e.info_.errorCode; })
          .Get(u"url", dispid::kErrorUrl, VarType::String, [](E& e) { return e.info_.url; })
          .Get(u"reason", dispid::kReason, VarType::String, [](E& e) { return e.info_.reason; })
          .Get(u"srcText", dispid::kSrcText, VarType::String,
               [](E& e) { return e.info_.sourceText; })
          .Get(u"line", dispid::kLine, VarType::Long, [](E& e) { return e.info_.line; })
          .Get(u"linepos", dispid::kLinePos, VarType::Long,
               [](E& e) { return e.info_.linePosition; })
          .Get(u"filepos", dispid::kFilePos, VarType::Long,
               [](E& e) { return e.info_.filePosition; })
          .Build();
  return info;
}

}  // namespace telvinor::xmldom
