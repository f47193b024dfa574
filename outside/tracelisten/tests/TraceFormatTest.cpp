#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "ListenOptions.h"
#include "TraceFormat.h"
#include "text/AnsiText.h"

namespace telvinor::tracelisten {
namespace {

constexpr int kGbk = 936;
const Timestamp kNoon{2024, 5, 1, 12, 34, 56, 7, 8 * 60};

TEST(TraceFormat, JsonQuoteEscapesWhatRfc8259Requires) {
  struct Case {
    std::string_view in;
    std::string_view out;
  };
  const Case cases[] = {
      {"plain", R"("plain")"},
      {R"(say "hi")", R"("say \"hi\"")"},
      {R"(C:\Agent\Main.bas)", R"("C:\\Agent\\Main.bas")"},
      {"a\nb\r\tc\b\f", R"("a\nb\r\tc\b\f")"},
      {std::string_view("\x01\x1f\0z", 4), R"("\u0001\u001F\u0000z")"},
      {"\x7f", "\"\x7f\""},
      {"主脚本", "\"主脚本\""},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonQuote(c.in), c.out) << c.in;
}

TEST(TraceFormat, JsonLineCarriesTimeSenderByteCountAndConvertedText) {
  const std::string bytes = text::ToAnsi(u"Info:AgentRun 主脚本加载错误！", kGbk);
  EXPECT_EQ(FormatJsonLine({kNoon, "127.0.0.1:40000", bytes}, kGbk),
            R"({"time": "2024-05-01T12:34:56.007+08:00", "from": "127.0.0.1:40000", "bytes": 30, )"
            R"("text": "Info:AgentRun 主脚本加载错误！"})"
            "\n");
}

TEST(TraceFormat, TextLineForPeople) {
  struct Case {
    const char* name;
    std::string bytes;
    Colour colour;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"Info", "Info:ScriptRootDir is C:\\Agent", Colour::kTerminal,
       "12:34:56.007 Info:ScriptRootDir is C:\\Agent\n"},
      {"ErrorOnTerminalIsRed", "Err:Type mismatch", Colour::kTerminal,
       "12:34:56.007 \x1b[31mErr:Type mismatch\x1b[0m\n"},
      {"ErrorOnPipeIsPlain", "Err:Type mismatch", Colour::kPlain,
       "12:34:56.007 Err:Type mismatch\n"},
      {"ErrInsideIsNotAnError", "Info:Err:", Colour::kTerminal, "12:34:56.007 Info:Err:\n"},
      {"ControlsAreWrittenOut", "a\r\nb\tc\x1b[2J\x7f", Colour::kPlain,
       "12:34:56.007 a\\r\\nb\tc\\x1B[2J\\x7F\n"},
      {"Chinese", text::ToAnsi(u"Inf:收到非正确格式消息：", kGbk), Colour::kPlain,
       "12:34:56.007 Inf:收到非正确格式消息：\n"},
      {"UndecodableBytes", "x\xff", Colour::kPlain, "12:34:56.007 x\xEF\xBF\xBD\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatTextLine({kNoon, "127.0.0.1:1", c.bytes}, kGbk, c.colour), c.line) << c.name;
  }
}

TEST(TraceFormat, TimestampsWestAndEastOfUtc) {
  EXPECT_EQ(Rfc3339({1999, 12, 31, 23, 59, 59, 999, -(3 * 60 + 30)}),
            "1999-12-31T23:59:59.999-03:30");
  EXPECT_EQ(Rfc3339({2024, 1, 2, 3, 4, 5, 0, 0}), "2024-01-02T03:04:05.000+00:00");
  EXPECT_EQ(TimeOfDay({2024, 1, 2, 3, 4, 5, 60, 0}), "03:04:05.060");
}

ParsedOptions Parse(std::vector<std::string_view> args) {
  return ParseListenOptions(args);
}

TEST(ListenOptions, DefaultsAndEveryOption) {
  auto defaults = Parse({});
  ASSERT_TRUE(defaults.options) << defaults.error;
  EXPECT_EQ(defaults.options->port, 33334);
  EXPECT_EQ(defaults.options->bindAddress, "127.0.0.1");
  EXPECT_EQ(defaults.options->format, OutputFormat::kText);
  EXPECT_FALSE(defaults.options->count);
  EXPECT_FALSE(defaults.options->timeout);

  auto all = Parse({"--port", "0", "--bind=0.0.0.0", "--json", "--count", "3", "--timeout", "0.25",
                    "--color", "never", "--codepage=1252"});
  ASSERT_TRUE(all.options) << all.error;
  EXPECT_EQ(all.options->port, 0);
  EXPECT_EQ(all.options->bindAddress, "0.0.0.0");
  EXPECT_EQ(all.options->format, OutputFormat::kJson);
  EXPECT_EQ(all.options->count, 3u);
  EXPECT_EQ(all.options->timeout, std::chrono::milliseconds(250));
  EXPECT_EQ(all.options->colour, ColourChoice::kNever);
  EXPECT_EQ(all.options->codePage, 1252);
  EXPECT_TRUE(Parse({"--help"}).options->help);
}

TEST(ListenOptions, WrongCommandLines) {
  const std::vector<std::vector<std::string_view>> cases = {
      {"--port", "65536"},
      {"--port", "-1"},
      {"--port", "80x"},
      {"--port"},
      {"--bind", "localhost"},
      {"--count", "0"},
      {"--count", "many"},
      {"--timeout", "0"},
      {"--timeout", "-2"},
      {"--timeout", "nan"},
      {"--color", "sometimes"},
      {"--codepage", "12345"},
      {"--json=yes"},
      {"--verbose"},
      {"33334"},
  };
  for (const auto& args : cases) {
    auto parsed = Parse(args);
    EXPECT_FALSE(parsed.options) << args[0] << (args.size() > 1 ? args[1] : "");
    EXPECT_FALSE(parsed.error.empty());
  }
}

}  // namespace
}  // namespace telvinor::tracelisten
