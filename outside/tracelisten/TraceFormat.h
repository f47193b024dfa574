#pragma once
// How the trace listener shows one trace datagram: the datagram's bytes are text in the ANSI
// code page with no terminator; they become one UTF-8 line, for a person (time, text, red
// for errors on a terminal) or for a program (one JSON object, RFC 8259).
//
// Pure functions over memory; reading the clock and the socket is the program's business.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace telvinor::tracelisten {

// Local wall-clock time of an arrival, to the millisecond.
struct Timestamp {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int utcOffsetMinutes = 0;  // east of UTC is positive
};

// The local time of `when` (the process's time zone).
[[nodiscard]] Timestamp LocalTimestamp(std::chrono::system_clock::time_point when);

struct TraceRecord {
  Timestamp time;
  std::string from;        // sender, "127.0.0.1:40000"
  std::string_view bytes;  // the datagram as received
};

enum class Colour { kPlain, kTerminal };

// The datagram's text in UTF-8. Bytes the code page cannot decode become U+FFFD.
[[nodiscard]] std::string TraceText(std::string_view bytes, int codePage);

// "12:34:56.789 Info:..." with a line end. Control characters in the text are shown as
// \n, \r or \xHH so that one datagram is always one line and cannot drive the terminal;
// with Colour::kTerminal a text that starts with "Err:" is shown in red.
[[nodiscard]] std::string FormatTextLine(const TraceRecord& record, int codePage, Colour colour);

// {"time": "2024-05-01T12:34:56.789+08:00", "from": "127.0.0.1:40000", "bytes": 30,
//  "text": "Info:..."} with a line end. "bytes" is the datagram's size before conversion.
[[nodiscard]] std::string FormatJsonLine(const TraceRecord& record, int codePage);

// A JSON string literal for UTF-8 text, quotes included.
[[nodiscard]] std::string JsonQuote(std::string_view utf8);

// RFC 3339 ("2024-05-01T12:34:56.789+08:00") and the short form for people ("12:34:56.789").
[[nodiscard]] std::string Rfc3339(const Timestamp& time);
[[nodiscard]] std::string TimeOfDay(const Timestamp& time);

}  // namespace telvinor::tracelisten
