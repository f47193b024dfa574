#pragma once
// The WScript object the runner gives its script: Echo, Arguments, Quit, StdOut, StdErr,
// StdIn, ScriptName, ScriptFullName, Sleep, CreateObject. Text goes out in the ANSI code page.

#include <cstdio>
#include <string>
#include <vector>

#include "automation/ClassInfo.h"

namespace telvinor::vbs {

using automation::Variant;

class WScriptHost : public automation::AutomationObject<WScriptHost> {
 public:
  static const automation::ClassInfo& Class();
  WScriptHost(std::u16string scriptPath, std::vector<std::u16string> arguments);

  std::u16string scriptPath;
  std::vector<std::u16string> arguments;
};

class ArgumentsObject : public automation::AutomationObject<ArgumentsObject> {
 public:
  static const automation::ClassInfo& Class();
  std::vector<std::u16string> items;
};

class TextStreamObject : public automation::AutomationObject<TextStreamObject> {
 public:
  static const automation::ClassInfo& Class();
  explicit TextStreamObject(std::FILE* file) : file_(file) {}
  void Write(std::u16string_view text);
  [[nodiscard]] std::FILE* File() const noexcept { return file_; }

 private:
  std::FILE* file_;
};

// Text as the console gets it: the ANSI code page.
void WriteText(std::FILE* file, std::u16string_view text);

}  // namespace telvinor::vbs
