#include "TraceFormat.h"

#include <cstdio>
#include <ctime>

#include "automation/Utf.h"
#include "text/AnsiText.h"

namespace telvinor::tracelisten {
namespace {

// The tag of the interpreter's error lines.
constexpr std::string_view kErrorTag = "Err:";
// ECMA-48 select graphic rendition: red foreground, then back to normal.
constexpr std::string_view kRed = "\x1b[31m";
constexpr std::string_view kNormal = "\x1b[0m";

bool IsControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Text for a terminal: every C0 and C1 control character is written out, so a datagram can
// neither break the one-line-per-datagram layout nor send escape sequences to the terminal.
std::string EscapeControls(std::u16string_view text) {
  std::u16string shown;
  shown.reserve(text.size());
  for (char16_t c : text) {
    if (!IsControl(c) || c == u'\t') {
      shown.push_back(c);
    } else if (c == u'\n') {
      shown += u"\\n";
    } else if (c == u'\r') {
      shown += u"\\r";
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
      for (const char* p = hex; *p; ++p) shown.push_back(static_cast<char16_t>(*p));
    }
  }
  return automation::ToUtf8(shown);
}

}  // namespace

Timestamp LocalTimestamp(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto sinceEpoch = when.time_since_epoch();
  const std::time_t seconds = duration_cast<std::chrono::seconds>(sinceEpoch).count();
  std::tm local{};
  ::localtime_r(&seconds, &local);
  Timestamp t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.millisecond = static_cast<int>(duration_cast<milliseconds>(sinceEpoch).count() % 1000);
  if (t.millisecond < 0) t.millisecond += 1000;
  t.utcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
  return t;
}

std::string Rfc3339(const Timestamp& t) {
  const int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.year, t.month,
                t.day, t.hour, t.minute, t.second, t.millisecond,
                t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

std::string TimeOfDay(const Timestamp& t) {
  char text[24];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second,
                t.millisecond);
  return text;
}

std::string TraceText(std::string_view bytes, int codePage) {
  return automation::ToUtf8(text::FromAnsi(bytes, codePage));
}

std::string FormatTextLine(const TraceRecord& record, int codePage, Colour colour) {
  const std::u16string text = text::FromAnsi(record.bytes, codePage);
  const bool error = colour == Colour::kTerminal && record.bytes.starts_with(kErrorTag);
  std::string line = TimeOfDay(record.time);
  line += ' ';
  if (error) line += kRed;
  line += EscapeControls(text);
  if (error) line += kNormal;
  line += '\n';
  return line;
}

std::string JsonQuote(std::string_view utf8) {
  std::string quoted;
  quoted.reserve(utf8.size() + 2);
  quoted += '"';
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\b':
        quoted += "\\b";
        break;
      case '\f':
        quoted += "\\f";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
          quoted += escape;
        } else {
          quoted += ch;
        }
    }
  }
  quoted += '"';
  return quoted;
}

std::string FormatJsonLine(const TraceRecord& record, int codePage) {
  std::string line = "{\"time\": ";
  line += JsonQuote(Rfc3339(record.time));
  line += ", \"from\": ";
  line += JsonQuote(record.from);
  line += ", \"bytes\": ";
  line += std::to_string(record.bytes.size());
  line += ", \"text\": ";
  line += JsonQuote(TraceText(record.bytes, codePage));
  line += "}\n";
  return line;
}

}  // namespace telvinor::tracelisten
