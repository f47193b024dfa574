#include "text/AnsiText.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace telvinor::text {
namespace {

// iconv descriptors are costly to open; keep one per thread, code page and direction.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (Ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  [[nodiscard]] bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset any shift state
    return cd_;
  }

 private:
  iconv_t cd_;
};

enum class Direction { kToAnsi, kFromAnsi };

Converter& ConverterFor(int codePage, Direction direction) {
  thread_local std::unordered_map<int, std::unique_ptr<Converter>> cache;
  int key = codePage * 2 + (direction == Direction::kToAnsi ? 0 : 1);
  auto& slot = cache[key];
  if (!slot) {
    std::string name = IconvName(codePage).value_or("CP936");
    slot = direction == Direction::kToAnsi ? std::make_unique<Converter>(name, "UTF-16LE")
                                           : std::make_unique<Converter>("UTF-16LE", name);
  }
  return *slot;
}

int ReadCodePage() {
  const char* env = std::getenv("TELVINOR_CODEPAGE");
  if (!env || !*env) return kDefaultCodePage;
  char* end = nullptr;
  long value = std::strtol(env, &end, 10);
  if (*end != '\0' || value <= 0 || value > 65535 || !IconvName(static_cast<int>(value))) return kDefaultCodePage;
  return static_cast<int>(value);
}

// Converts one UTF-16 character (or surrogate pair); returns false when unmappable.
bool EncodeOne(iconv_t cd, const char16_t* units, std::size_t count, std::string& out) {
  char buf[16];
  char* in = const_cast<char*>(reinterpret_cast<const char*>(units));
  std::size_t inLeft = count * 2;
  char* o = buf;
  std::size_t outLeft = sizeof buf;
  if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) return false;
  // Flush any shift state (stateless for the pages we use, harmless otherwise).
  iconv(cd, nullptr, nullptr, &o, &outLeft);
  out.append(buf, static_cast<std::size_t>(o - buf));
  return true;
}

}  // namespace

int ActiveCodePage() {
  static const int codePage = ReadCodePage();
  return codePage;
}

std::optional<std::string> IconvName(int codePage) {
  switch (codePage) {
    case kUtf8CodePage: return "UTF-8";
    case 20127: return "ASCII";
    case 28591: return "ISO-8859-1";
    case 54936: return "GB18030";
    case 936: case 950: case 932: case 949:
    case 874: case 1250: case 1251: case 1252: case 1253: case 1254: case 1255: case 1256: case 1257: case 1258:
    case 437: case 850: case 866:
      return "CP" + std::to_string(codePage);
    default: return std::nullopt;
  }
}

std::string ToAnsi(std::u16string_view text, int codePage) {
  std::string out;
  out.reserve(text.size() * 2);
  // ASCII is the same in every supported page: copy it straight, convert the rest one
  // character at a time so an unmappable one becomes "?" without losing its neighbours.
  Converter* conv = nullptr;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    if (!conv) conv = &ConverterFor(codePage, Direction::kToAnsi);
    std::size_t units = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) units = 2;
    bool lone = c >= 0xD800 && c <= 0xDFFF && units == 1;
    if (lone || !conv->Ok() || !EncodeOne(conv->Get(), text.data() + i, units, out)) out += '?';
    i += units - 1;
  }
  return out;
}

std::u16string FromAnsi(std::string_view bytes, int codePage) {
  std::u16string out;
  out.reserve(bytes.size());
  Converter* conv = nullptr;
  std::size_t i = 0;
  while (i < bytes.size()) {
    auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    if (!conv) conv = &ConverterFor(codePage, Direction::kFromAnsi);
    // Decode the longest run of non-ASCII bytes in one call; on an invalid sequence, emit
    // U+FFFD for its first byte and go on with the next.
    std::size_t end = i;
    while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) >= 0x80) ++end;
    // A double-byte page's trail byte may be ASCII: include one more byte when it follows.
    if (end < bytes.size()) ++end;
    char* in = const_cast<char*>(bytes.data() + i);
    std::size_t inLeft = end - i;
    std::u16string chunk((end - i) * 2, u'\0');
    char* o = reinterpret_cast<char*>(chunk.data());
    std::size_t outLeft = chunk.size() * 2;
    iconv_t cd = conv->Ok() ? conv->Get() : nullptr;
    std::size_t rc = cd ? iconv(cd, &in, &inLeft, &o, &outLeft) : static_cast<std::size_t>(-1);
    std::size_t produced = (chunk.size() * 2 - outLeft) / 2;
    out.append(chunk.data(), produced);
    std::size_t consumed = static_cast<std::size_t>(in - bytes.data()) - i;
    if (rc == static_cast<std::size_t>(-1) || !cd) {
      if (consumed == 0 || !cd) {
        out += u'\uFFFD';
        consumed = 1;
      }
    }
    i += consumed;
  }
  return out;
}

std::size_t AnsiLength(std::u16string_view text, int codePage) { return ToAnsi(text, codePage).size(); }

std::uint16_t AnsiCodeOf(char16_t c, int codePage) {
  std::string bytes = ToAnsi(std::u16string_view(&c, 1), codePage);
  if (bytes.size() == 1) return static_cast<unsigned char>(bytes[0]);
  if (bytes.size() == 2) return static_cast<std::uint16_t>((static_cast<unsigned char>(bytes[0]) << 8) |
                                                           static_cast<unsigned char>(bytes[1]));
  return '?';
}

std::optional<char16_t> CharOfAnsiCode(std::uint32_t code, int codePage) {
  if (code > 0xFFFF) return std::nullopt;
  std::string bytes;
  if (code > 0xFF) bytes += static_cast<char>(code >> 8);
  bytes += static_cast<char>(code & 0xFF);
  std::u16string text = FromAnsi(bytes, codePage);
  if (text.size() != 1 || text[0] == u'\uFFFD') return std::nullopt;
  return text[0];
}

}  // namespace telvinor::text
