#include "xmldom/XmlEncoding.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>

#include "xmldom/XmlChars.h"

namespace telvinor::xmldom {
namespace {

struct EncodingLabel {
  std::string_view label;  // lower case
  std::string_view iconvName;
};

// Labels seen in the installation's documents, with the iconv encoding that reads them.
// Documents labelled GB2312 are written with the Windows code page 936 in practice, which
// extends GB2312; reading them with the extension loses nothing.
constexpr std::array kLabels{
    EncodingLabel{"utf-8", "UTF-8"},           EncodingLabel{"utf8", "UTF-8"},
    EncodingLabel{"utf-16", "UTF-16"},         EncodingLabel{"unicode", "UTF-16"},
    EncodingLabel{"ucs-2", "UTF-16"},          EncodingLabel{"iso-10646-ucs-2", "UTF-16"},
    EncodingLabel{"utf-16le", "UTF-16LE"},     EncodingLabel{"utf-16be", "UTF-16BE"},
    EncodingLabel{"gb2312", "CP936"},          EncodingLabel{"gbk", "CP936"},
    EncodingLabel{"cp936", "CP936"},           EncodingLabel{"x-gbk", "CP936"},
    EncodingLabel{"ms936", "CP936"},           EncodingLabel{"windows-936", "CP936"},
    EncodingLabel{"csgb2312", "CP936"},        EncodingLabel{"euc-cn", "CP936"},
    EncodingLabel{"gb18030", "GB18030"},       EncodingLabel{"big5", "CP950"},
    EncodingLabel{"iso-8859-1", "ISO-8859-1"}, EncodingLabel{"latin1", "ISO-8859-1"},
    EncodingLabel{"windows-1252", "CP1252"},   EncodingLabel{"cp1252", "CP1252"},
    EncodingLabel{"us-ascii", "ASCII"},        EncodingLabel{"ascii", "ASCII"},
};

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  [[nodiscard]] bool ok() const noexcept { return cd_ != reinterpret_cast<iconv_t>(-1); }
  [[nodiscard]] iconv_t get() const noexcept { return cd_; }

 private:
  iconv_t cd_;
};

enum class Step : std::uint8_t { Done, Unconvertible, Invalid };

// Converts `in` into `out` until the end or a sequence iconv refuses; `consumed` tells how
// far the input got. EILSEQ is a sequence the target cannot hold (or invalid input),
// EINVAL a truncated sequence at the end.
Step Convert(const Converter& cd, std::string_view in, std::size_t& consumed, std::string& out) {
  char* src = const_cast<char*>(in.data()) + consumed;
  std::size_t srcLeft = in.size() - consumed;
  std::array<char, 16384> buffer;
  while (true) {
    char* dst = buffer.data();
    std::size_t dstLeft = buffer.size();
    std::size_t r = srcLeft ? iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft)
                            : iconv(cd.get(), nullptr, nullptr, &dst, &dstLeft);
    int error = errno;
    out.append(buffer.data(), static_cast<std::size_t>(dst - buffer.data()));
    consumed = in.size() - srcLeft;
    if (r != static_cast<std::size_t>(-1)) {
      if (srcLeft == 0) {
        // Flush the shift state of stateful encodings once the input is used up.
        dst = buffer.data();
        dstLeft = buffer.size();
        iconv(cd.get(), nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer.data(), static_cast<std::size_t>(dst - buffer.data()));
        return Step::Done;
      }
      continue;
    }
    if (error == E2BIG) continue;
    return error == EILSEQ ? Step::Unconvertible : Step::Invalid;
  }
}

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return out;
}

bool StartsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

std::string_view AsText(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

DecodedXml Transcode(std::string_view in, const char* from, std::string encoding) {
  DecodedXml out;
  out.encoding = std::move(encoding);
  Converter cd("UTF-8", from);
  if (!cd.ok()) {
    out.problem = DecodeProblem::UnsupportedEncoding;
    return out;
  }
  std::size_t consumed = 0;
  out.converted.reserve(in.size() + in.size() / 2);
  if (Convert(cd, in, consumed, out.converted) != Step::Done)
    out.problem = DecodeProblem::InvalidBytes;
  out.text = out.converted;
  return out;
}

}  // namespace

std::string DeclaredEncoding(std::string_view start) {
  // Production [23]: '<?xml' VersionInfo EncodingDecl? SDDecl? S? '?>'
  if (start.substr(0, 5) != "<?xml" || start.size() < 6 ||
      !std::isspace(static_cast<unsigned char>(start[5])))
    return {};
  std::string_view decl = start.substr(0, std::min<std::size_t>(start.size(), 4096));
  decl = decl.substr(0, decl.find("?>"));
  std::size_t at = 5;
  while ((at = decl.find("encoding", at)) != std::string_view::npos) {
    bool spaced = std::isspace(static_cast<unsigned char>(decl[at - 1]));
    std::size_t i = at + 8;
    at = i;
    if (!spaced) continue;
    while (i < decl.size() && std::isspace(static_cast<unsigned char>(decl[i]))) ++i;
    if (i >= decl.size() || decl[i] != '=') continue;
    ++i;
    while (i < decl.size() && std::isspace(static_cast<unsigned char>(decl[i]))) ++i;
    if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) continue;
    std::size_t close = decl.find(decl[i], i + 1);
    if (close == std::string_view::npos) return {};
    return std::string(decl.substr(i + 1, close - i - 1));
  }
  return {};
}

std::optional<std::string> IconvNameFor(std::string_view label) {
  std::string lower = Lower(label);
  for (const auto& known : kLabels) {
    if (known.label == lower) return std::string(known.iconvName);
  }
  // Anything else iconv knows by that name (Shift_JIS, KOI8-R, ...); the label comes from the
  // document, so it is checked to be a plain name first (production [81] EncName).
  bool plain = !label.empty() && label.size() < 64 &&
               std::isalpha(static_cast<unsigned char>(label[0])) &&
               std::all_of(label.begin(), label.end(), [](unsigned char c) {
                 return std::isalnum(c) || c == '-' || c == '_' || c == '.';
               });
  if (!plain) return std::nullopt;
  std::string name(label);
  Converter probe("UTF-8", name.c_str());
  if (!probe.ok()) return std::nullopt;
  return name;
}

DecodedXml DecodeXml(std::span<const std::uint8_t> bytes) {
  // Byte-order marks (appendix F.1); UTF-32 is tested before UTF-16, whose mark it extends.
  if (StartsWith(bytes, {0xEF, 0xBB, 0xBF})) {
    DecodedXml out;
    out.encoding = "UTF-8";
    out.text = AsText(bytes.subspan(3));
    return out;
  }
  if (StartsWith(bytes, {0x00, 0x00, 0xFE, 0xFF}))
    return Transcode(AsText(bytes.subspan(4)), "UTF-32BE", "UTF-32");
  if (StartsWith(bytes, {0xFF, 0xFE, 0x00, 0x00}))
    return Transcode(AsText(bytes.subspan(4)), "UTF-32LE", "UTF-32");
  if (StartsWith(bytes, {0xFE, 0xFF}))
    return Transcode(AsText(bytes.subspan(2)), "UTF-16BE", "UTF-16");
  if (StartsWith(bytes, {0xFF, 0xFE}))
    return Transcode(AsText(bytes.subspan(2)), "UTF-16LE", "UTF-16");
  // "<?" in UTF-16 without a mark.
  if (StartsWith(bytes, {0x3C, 0x00, 0x3F, 0x00}))
    return Transcode(AsText(bytes), "UTF-16LE", "UTF-16");
  if (StartsWith(bytes, {0x00, 0x3C, 0x00, 0x3F}))
    return Transcode(AsText(bytes), "UTF-16BE", "UTF-16");

  std::string declared =
      DeclaredEncoding(AsText(bytes.first(std::min<std::size_t>(bytes.size(), 4096))));
  DecodedXml out;
  out.encoding = declared.empty() ? "UTF-8" : declared;
  std::optional<std::string> iconvName =
      declared.empty() ? std::string("UTF-8") : IconvNameFor(declared);
  if (!iconvName) {
    out.problem = DecodeProblem::UnsupportedEncoding;
    return out;
  }
  if (*iconvName == "UTF-8") {
    out.text = AsText(bytes);
    return out;
  }
  if (iconvName->starts_with("UTF-16") || iconvName->starts_with("UTF-32")) {
    // The declaration was read as single bytes, so the text cannot be UTF-16 or UTF-32 as it
    // claims; reading it either way would be a guess.
    out.problem = DecodeProblem::UnsupportedEncoding;
    return out;
  }
  return Transcode(AsText(bytes), iconvName->c_str(), std::move(out.encoding));
}

std::optional<std::string> EncodeXml(std::string_view utf8, std::string_view label) {
  std::optional<std::string> iconvName = label.empty() ? std::string("UTF-8") : IconvNameFor(label);
  if (!iconvName) return std::nullopt;
  if (*iconvName == "UTF-8") return std::string(utf8);
  std::string out;
  std::string target = *iconvName;
  if (target == "UTF-16") {
    // Written little-endian behind a byte-order mark, as Windows writes UTF-16 files.
    out = "\xFF\xFE";
    target = "UTF-16LE";
  }
  Converter cd(target.c_str(), "UTF-8");
  if (!cd.ok()) return std::nullopt;
  std::size_t consumed = 0;
  while (true) {
    Step step = Convert(cd, utf8, consumed, out);
    if (step == Step::Done) break;
    // A character the encoding cannot hold: write it as a character reference, which reads
    // back as the same character in text and attribute values.
    if (consumed >= utf8.size()) break;
    auto [c, length] = DecodeUtf8At(utf8, consumed);
    std::string reference = "&#" + std::to_string(static_cast<std::uint32_t>(c)) + ";";
    std::size_t at = 0;
    if (Convert(cd, reference, at, out) != Step::Done) return std::nullopt;
    consumed += length;
  }
  return out;
}

}  // namespace telvinor::xmldom
