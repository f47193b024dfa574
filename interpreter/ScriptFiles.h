#pragma once
// The files an agent's workflow is made of, and how the interpreter opens them.
//
// Settings hold Windows paths ("D:\agent\scripts"), as the installation's tools write them.
// The texts are kept as read (the trace lines show them so), and only the path handed to the
// file system has each "\" turned into "/": an absolute Linux path works as it is, and a
// Windows path becomes a path relative to the working directory ("D:/agent/scripts"), where
// a folder named "D:" can stand in for the drive.

#include <filesystem>
#include <string>
#include <string_view>

namespace telvinor::interpreter {

struct ScriptModuleFile {
  std::u16string_view file;  // appended directly to the script directory
  std::u16string_view name;  // the module's name in the script host, case-exact
};

// The four modules, in the order they are added to the script host.
inline constexpr ScriptModuleFile kScriptModules[] = {
    {u"\\Main.bas", u"Main"},
    {u"\\Operation.bas", u"Operation"},
    {u"\\State.bas", u"state"},
    {u"\\Jump.bas", u"Jump"},
};

// The module that runs first, and the one every state jump switches to.
inline constexpr std::u16string_view kMainModule = u"Main";
inline constexpr std::u16string_view kStateModule = u"state";

// The path to open for a path as the settings write it ("\" becomes "/", UTF-8 file name).
[[nodiscard]] std::filesystem::path OpenablePath(std::u16string_view settingsPath);

// The whole file as text, its bytes read in the ANSI code page. A file that cannot be read
// raises the run-time error VB's file statements raise: 53 "File not found", 76 "Path not
// found", 70 "Permission denied", 75 "Path/File access error" (also for a directory, a
// device or a pipe, which are not script files), 7 "Out of memory".
[[nodiscard]] std::u16string ReadScriptFile(const std::filesystem::path& path);

}  // namespace telvinor::interpreter
