// libFuzzer target for the whole engine: any text is compiled and run in a script control
// with a short time limit and no user interface. Errors are expected; crashes, leaks and
// hangs are not.

#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/AutomationError.h"
#include "automation/Utf.h"
#include "vbscript/ScriptControl.h"
#include "vbscript/ScriptError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace telvinor;
  if (size > 4096) return 0;
  std::u16string source =
      automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  auto control = automation::MakeRef<vbscript::ScriptControl>();
  control->SetTimeout(20);
  control->SetAllowUI(false);
  control->AddObject(u"sc", control.get(), true);
  try {
    control->AddModule(u"Main");
    control->AddCode(u"Main", source);
    (void)control->Eval(u"Main", u"1");
  } catch (const automation::AutomationError&) {
  } catch (const vbscript::ScriptQuit&) {
  }
  control->Reset();
  return 0;
}
