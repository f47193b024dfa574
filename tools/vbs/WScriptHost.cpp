#include "WScriptHost.h"

#include <chrono>
#include <thread>

#include "automation/ClassRegistry.h"
#include "automation/Conversions.h"
#include "automation/SafeArray.h"
#include "text/AnsiText.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbs {

using automation::ClassBuilder;
using automation::ClassInfo;
using automation::OptionalParam;
using automation::Param;
using automation::ParamArray;
using automation::VarType;

void WriteText(std::FILE* file, std::u16string_view text) {
  std::string bytes = text::ToAnsi(text);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
}

WScriptHost::WScriptHost(std::u16string path, std::vector<std::u16string> args)
    : scriptPath(std::move(path)), arguments(std::move(args)) {}

void TextStreamObject::Write(std::u16string_view text) {
  WriteText(file_, text);
}

namespace {

std::u16string BaseName(const std::u16string& path) {
  std::size_t slash = path.find_last_of(u"/\\");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::u16string ReadLine(std::FILE* in, bool& atEnd) {
  std::string line;
  int c;
  while ((c = std::fgetc(in)) != EOF && c != '\n') line += static_cast<char>(c);
  if (c == EOF) atEnd = true;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return text::FromAnsi(line);
}

}  // namespace

const ClassInfo& WScriptHost::Class() {
  static const ClassInfo info =
      ClassBuilder<WScriptHost>(u"IHost")
          .Get(u"Name", automation::kDispIdValue, VarType::String,
               [](WScriptHost&) { return Variant(u"Windows Script Host"); })
          .Method(u"Echo", 1, {ParamArray(u"Args")},
                  [](WScriptHost&, std::span<Variant> a) {
                    std::u16string line;
                    bool first = true;
                    for (const auto& e : a[0].AsArray().Elements()) {
                      if (!first) line += u' ';
                      first = false;
                      if (!e.IsNull()) line += automation::ToString(e);
                    }
                    line += u'\n';
                    WriteText(stdout, line);
                  })
          .Get(u"Arguments", 2, VarType::Object,
               [](WScriptHost& h) {
                 auto args = automation::MakeRef<ArgumentsObject>();
                 args->items = h.arguments;
                 return Variant(args);
               })
          .Method(u"Quit", 3, {OptionalParam(u"ExitCode", VarType::Long, 0)},
                  [](WScriptHost&, std::span<Variant> a) {
                    std::fflush(stdout);
                    throw vbscript::ScriptQuit{a[0].AsLong()};
                  })
          .Get(u"StdOut", 4, VarType::Object,
               [](WScriptHost&) { return Variant(automation::MakeRef<TextStreamObject>(stdout)); })
          .Get(u"StdErr", 5, VarType::Object,
               [](WScriptHost&) { return Variant(automation::MakeRef<TextStreamObject>(stderr)); })
          .Get(u"StdIn", 6, VarType::Object,
               [](WScriptHost&) { return Variant(automation::MakeRef<TextStreamObject>(stdin)); })
          .Get(u"ScriptName", 7, VarType::String,
               [](WScriptHost& h) { return Variant(BaseName(h.scriptPath)); })
          .Get(u"ScriptFullName", 8, VarType::String,
               [](WScriptHost& h) { return Variant(h.scriptPath); })
          .Get(u"Version", 9, VarType::String, [](WScriptHost&) { return Variant(u"5.8"); })
          .Get(u"Interactive", 10, VarType::Boolean, [](WScriptHost&) { return false; })
          .Method(u"Sleep", 11, {Param(u"Time", VarType::Long)},
                  [](WScriptHost&, std::span<Variant> a) {
                    std::int32_t ms = a[0].AsLong();
                    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                  })
          .Method(u"CreateObject", 12,
                  {Param(u"ProgID", VarType::String), OptionalParam(u"Prefix", VarType::String)},
                  [](WScriptHost&, std::span<Variant> a) {
                    return Variant(automation::CreateObject(a[0].AsString()));
                  })
          .Build();
  return info;
}

const ClassInfo& ArgumentsObject::Class() {
  static const ClassInfo info =
      ClassBuilder<ArgumentsObject>(u"IArguments2")
          .IndexedGet(u"Item", automation::kDispIdValue, {Param(u"Index", VarType::Long)},
                      VarType::String,
                      [](ArgumentsObject& o, std::span<Variant> a) {
                        std::int32_t i = a[0].AsLong();
                        if (i < 0 || static_cast<std::size_t>(i) >= o.items.size())
                          throw automation::AutomationError(automation::errc::kSubscriptOutOfRange);
                        return Variant(o.items[static_cast<std::size_t>(i)]);
                      })
          .Get(u"Count", 1, VarType::Long,
               [](ArgumentsObject& o) { return static_cast<std::int32_t>(o.items.size()); })
          .Get(u"Length", 2, VarType::Long,
               [](ArgumentsObject& o) { return static_cast<std::int32_t>(o.items.size()); })
          .Method(
              u"_NewEnum", automation::kDispIdNewEnum, {},
              [](ArgumentsObject& o, std::span<Variant>) {
                std::vector<Variant> values(o.items.begin(), o.items.end());
                return Variant(automation::MakeRef<automation::ValueEnumerator>(std::move(values)));
              })
          .Build();
  return info;
}

const ClassInfo& TextStreamObject::Class() {
  static const ClassInfo info =
      ClassBuilder<TextStreamObject>(u"TextStream")
          .Method(u"Write", 1, {Param(u"Text", VarType::String)},
                  [](TextStreamObject& s, std::span<Variant> a) { s.Write(a[0].AsString()); })
          .Method(u"WriteLine", 2, {OptionalParam(u"Text", VarType::String, std::u16string())},
                  [](TextStreamObject& s, std::span<Variant> a) {
                    s.Write(a[0].AsString());
                    s.Write(u"\n");
                  })
          .Method(u"WriteBlankLines", 3, {Param(u"Lines", VarType::Long)},
                  [](TextStreamObject& s, std::span<Variant> a) {
                    for (std::int32_t i = 0; i < a[0].AsLong() && i < 100000; ++i) s.Write(u"\n");
                  })
          .Method(u"ReadLine", 4, {},
                  [](TextStreamObject& s, std::span<Variant>) {
                    bool atEnd = false;
                    return Variant(ReadLine(s.File(), atEnd));
                  })
          .Method(u"ReadAll", 5, {},
                  [](TextStreamObject& s, std::span<Variant>) {
                    std::string all;
                    int c;
                    while ((c = std::fgetc(s.File())) != EOF) all += static_cast<char>(c);
                    return Variant(text::FromAnsi(all));
                  })
          .Get(u"AtEndOfStream", 6, VarType::Boolean,
               [](TextStreamObject& s) {
                 int c = std::fgetc(s.File());
                 if (c == EOF) return true;
                 std::ungetc(c, s.File());
                 return false;
               })
          .Method(u"Close", 7, {},
                  [](TextStreamObject& s, std::span<Variant>) { std::fflush(s.File()); })
          .Build();
  return info;
}

}  // namespace telvinor::vbs
