// libFuzzer target for the compiler: any bytes, read as the runner reads a script file
// (ANSI code page, or UTF-16/UTF-8 after a byte-order mark), must compile or fail with a
// compile error that has a position; nothing may crash, hang or leak. Running what compiled
// is left out on purpose (a fuzzer would find endless loops, which the time limit covers).

#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/AutomationError.h"
#include "text/AnsiText.h"
#include "vbscript/Binder.h"
#include "vbscript/Engine.h"
#include "vbscript/Parser.h"
#include "vbscript/ScriptError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace telvinor;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::u16string source;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    for (std::size_t i = 2; i + 1 < size; i += 2)
      source += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  } else {
    source = text::FromAnsi(bytes);
  }
  vbscript::Engine engine;
  try {
    for (auto mode : {false, true}) {
      try {
        (void)engine.Compile(engine.GlobalModule(), source, mode, nullptr, nullptr);
      } catch (const vbscript::ScriptError& e) {
        if (e.Kind() == vbscript::ErrorKind::Compile && e.line == 0)
          __builtin_trap();  // no position
      }
    }
  } catch (const automation::AutomationError&) {
    // A run-time error while declaring (a name both procedure and variable): also clean.
  }
  return 0;
}
