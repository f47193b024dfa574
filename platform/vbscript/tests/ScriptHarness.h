#pragma once
// Runs small scripts through a ScriptControl and collects what they print with `Print`
// (one line per call, arguments joined by blanks), or the error they end with.

#include <gtest/gtest.h>

#include <string>

#include "automation/ClassInfo.h"
#include "automation/Conversions.h"
#include "automation/SafeArray.h"
#include "automation/Utf.h"
#include "vbscript/ScriptControl.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript::testing {

using automation::Variant;

class Printer : public automation::AutomationObject<Printer> {
 public:
  static const automation::ClassInfo& Class() {
    static const automation::ClassInfo info =
        automation::ClassBuilder<Printer>(u"Printer")
            .Method(u"Print", 1, {automation::ParamArray(u"items")},
                    [](Printer& p, std::span<Variant> a) {
                      bool first = true;
                      for (const auto& e : a[0].AsArray().Elements()) {
                        if (!first) p.out += " ";
                        first = false;
                        p.out += e.IsNull() ? std::string("Null")
                                            : automation::ToUtf8(automation::ToString(e));
                      }
                      p.out += "\n";
                    })
            .Build();
    return info;
  }
  std::string out;
};

struct Outcome {
  std::string output;
  std::int32_t number = 0;  // 0: no error
  std::string description;  // as the host sees it
  std::uint32_t line = 0, column = 0;
};

inline Outcome RunScript(const std::string& source, ScriptControl* control = nullptr) {
  automation::Ref<ScriptControl> own;
  if (!control) {
    own = automation::MakeRef<ScriptControl>();
    control = own.get();
    control->SetTimeout(5000);  // a script that loops by mistake fails the test instead of hanging it
  }
  auto printer = automation::MakeRef<Printer>();
  control->AddObject(u"Out", printer.get(), true);
  Outcome o;
  try {
    control->AddCode(automation::FromUtf8(source));
  } catch (const automation::AutomationError& e) {
    o.number = e.Number();
    o.description = automation::ToUtf8(e.Description());
    if (auto* s = dynamic_cast<const ScriptError*>(&e)) {
      o.line = s->line;
      o.column = s->column;
    }
  }
  o.output = printer->out;
  control->Reset();
  return o;
}

// A row of a table: the script, then what it prints (lines joined by "\n", with a final
// newline) or the error it ends with.
struct Case {
  const char* name;
  const char* script;
  const char* output;
  std::int32_t error = 0;
  const char* description = nullptr;
};

inline void RunTable(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = RunScript(c.script);
    EXPECT_EQ(o.output, c.output) << "script:\n" << c.script;
    EXPECT_EQ(o.number, c.error) << o.description;
    if (c.description) {
      EXPECT_EQ(o.description, c.description);
    }
  }
}

}  // namespace telvinor::vbscript::testing
