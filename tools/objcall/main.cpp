// objcall: creates an automation object by ProgID (or class id) and calls one member, as a
// script's CreateObject and a call would; shows the result, the arguments a member changed
// (by-reference parameters) and the events the object raised meanwhile.
//
//   objcall PROGID|{CLASS-ID} MEMBER|#DISPID [ARGUMENT...]
//
// Arguments are passed as text; the member's table converts them to its parameter types.
// Exit statuses: 0 done, 1 the object could not be made or the call raised an error,
// 2 bad arguments.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "automation/ClassInfo.h"
#include "automation/ClassRegistry.h"
#include "automation/Conversions.h"
#include "automation/EventSource.h"
#include "automation/SafeArray.h"
#include "automation/ServerLoader.h"
#include "automation/Utf.h"

using namespace telvinor::automation;

namespace {

std::string Show(const Variant& v) {
  if (v.IsObject())
    return v.IsNothing() ? "Nothing" : "(object " + ToUtf8(v.AsObject()->TypeName()) + ")";
  if (v.IsArray()) {
    std::string s = "(";
    for (const auto& e : v.AsArray().Elements()) s += (s.size() > 1 ? ", " : "") + Show(e);
    return s + ")";
  }
  try {
    return ToUtf8(ToString(v));
  } catch (const AutomationError&) {
    return v.DebugString();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: objcall PROGID|{CLASS-ID} MEMBER|#DISPID [ARGUMENT...]\n");
    return 2;
  }
  std::u16string name = FromUtf8(argv[1]);
  Ref<Dispatch> object;
  try {
    auto classId = Guid::Parse(name);
    object = classId ? CreateObject(*classId) : CreateObject(name);
  } catch (const AutomationError& e) {
    ServerObject why =
        Guid::Parse(name) ? CreateServerObject(*Guid::Parse(name)) : CreateServerObject(name);
    std::fprintf(stderr, "objcall: %d: %s (%s)\n", e.Number(), ToUtf8(e.Description()).c_str(),
                 why.failure.c_str());
    return 1;
  }

  // Events, printed as they arrive.
  int cookie = 0;
  EventSource* source = EventSourceOf(*object);
  if (source) {
    const ClassInfo* info = object->Info();
    cookie = source->Advise(MakeRef<FunctionSink>([info](DispId id, std::span<Variant> args) {
      const EventInfo* event = info ? info->FindEvent(id) : nullptr;
      std::string text = event ? ToUtf8(event->name) : "event " + std::to_string(id);
      text += "(";
      for (std::size_t i = 0; i < args.size(); ++i) text += (i ? ", " : "") + Show(args[i]);
      std::printf("event %s)\n", text.c_str());
    }));
  }

  std::string member = argv[2];
  std::vector<Variant> variables, args;
  for (int i = 3; i < argc; ++i) variables.emplace_back(FromUtf8(argv[i]));
  for (auto& v : variables)
    args.push_back(Variant::ByRef(v));  // so by-reference parameters write back
  try {
    DispId id = member.size() > 1 && member[0] == '#'
                    ? static_cast<DispId>(std::strtol(member.c_str() + 1, nullptr, 0))
                    : object->GetIdOfName(FromUtf8(member));
    if (id == kDispIdUnknown) ThrowError(errc::kObjectDoesNotSupportMember);
    Variant result = object->Invoke(id, InvokeKind::Method | InvokeKind::PropertyGet, args);
    if (!result.IsEmpty()) std::printf("%s\n", Show(result).c_str());
    for (std::size_t i = 0; i < variables.size(); ++i) {
      if (!(variables[i] == Variant(FromUtf8(argv[3 + i]))))
        std::printf("argument %zu is now %s\n", i + 1, Show(variables[i]).c_str());
    }
  } catch (const AutomationError& e) {
    std::fprintf(stderr, "objcall: %d: %s\n", e.Number(), ToUtf8(e.Description()).c_str());
    return 1;
  }
  if (source) source->Unadvise(cookie);
  return 0;
}
