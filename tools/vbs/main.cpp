// vbs FILE.vbs [ARGS]: runs a script with a WScript object, as cscript does. Errors are
// printed as "FILE(line, col) Microsoft VBScript runtime error: Type mismatch" and make the
// exit status 1; WScript.Quit n ends with status n.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ScriptFile.h"
#include "WScriptHost.h"
#include "automation/Utf.h"
#include "text/AnsiText.h"
#include "vbscript/ScriptControl.h"
#include "vbscript/ScriptError.h"
#include "xmldom/DomDocument.h"

using namespace telvinor;

namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

void Usage() {
  std::fprintf(
      stderr,
      "usage: vbs FILE.vbs [ARGS...]\n"
      "Runs a VBScript file. The script sees its arguments in WScript.Arguments.\n"
      "Exit status: 0 done, 1 script error, 2 usage or unreadable file, or WScript.Quit's code.\n");
}

std::u16string ErrorLine(const std::u16string& file, const automation::AutomationError& e) {
  std::u16string line = file;
  if (auto* s = dynamic_cast<const vbscript::ScriptError*>(&e); s && s->line) {
    line += u"(" + automation::FromUtf8(std::to_string(s->line)) + u", " +
            automation::FromUtf8(std::to_string(s->column)) + u")";
  }
  line += u" " + (e.Source().empty() ? std::u16string(vbscript::kRuntimeSource) : e.Source()) +
          u": " + e.Description() + u"\n";
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    Usage();
    return argc < 2 ? kExitUsage : 0;
  }
  std::string path = argv[1];
  auto code = vbs::ReadScriptFile(path);
  if (!code) {
    std::fprintf(stderr, "vbs: cannot read %s\n", path.c_str());
    return kExitUsage;
  }
  // Scripts create XML documents by name, as they do on Windows.
  xmldom::RegisterDomClasses();
  std::vector<std::u16string> args;
  for (int i = 2; i < argc; ++i) args.push_back(text::FromAnsi(argv[i]));
  std::u16string file = text::FromAnsi(path);

  auto control = automation::MakeRef<vbscript::ScriptControl>();
  control->SetTimeout(-1);  // a script run by hand may take as long as it needs
  control->SetUiHandler([](const vbscript::UiRequest& r) -> automation::Variant {
    // As cscript: message boxes are printed; an input box reads a line.
    vbs::WriteText(stdout, r.prompt + u"\n");
    std::fflush(stdout);
    if (r.kind == vbscript::UiRequest::Kind::MessageBox)
      return automation::Variant(std::int32_t{1});
    std::string line;
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') line += static_cast<char>(c);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return automation::Variant(text::FromAnsi(line));
  });
  auto host = automation::MakeRef<vbs::WScriptHost>(file, std::move(args));
  control->AddObject(u"WScript", host.get(), false);
  int status = 0;
  try {
    control->AddCode(*code);
  } catch (const vbscript::ScriptQuit& quit) {
    status = quit.exitCode;
  } catch (const automation::AutomationError& e) {
    std::fflush(stdout);
    vbs::WriteText(stderr, ErrorLine(file, e));
    status = kExitError;
  }
  std::fflush(stdout);
  control->Reset();
  return status;
}
