#pragma once
// Finding a workflow state in the state document. A state is any element that carries an
// attribute named "ID" (case-exact); its value is the state id. Ids are compared for exact
// equality, character by character, and the first matching element in document order wins.
//
// The lookup walks the tree instead of building a path expression from the id, so an id
// holding quotes, brackets or "or" can only ever select the element that carries that very
// id.

#include <string_view>

#include "xmldom/DomDocument.h"

namespace telvinor::interpreter {

inline constexpr std::u16string_view kStateIdAttribute = u"ID";

// The first element whose ID equals `id`, or null.
[[nodiscard]] xmldom::Ref<xmldom::DomNode> FindState(xmldom::DomDocument& document,
                                                     std::u16string_view id);

}  // namespace telvinor::interpreter
