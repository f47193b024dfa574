// Re-frames a Modified Huffman code stream line by line without decoding pixels: the code words
// found by `RunRecogniser` are copied into a line, and at every EOL the line is closed in the
// form the target file wants (EOL alignment, fill, minimum length), checked to add up to 1728
// pixels, and handed on, or the last good line goes in its place. The recoder also finds where
// a page ends. Bits that form no code word are dropped.
//
// Two directions share the recogniser and the line and differ in framing and page ends:
//   BFX to TIFF: each line ends with fill up to an EOL that finishes on a byte boundary (the
//     TIFF's EOLs are byte-aligned). Six EOLs in a row end the page.
//   TIFF to BFX: each line is padded with 0x00 bytes to at least 22 bytes and ends with the
//     byte-aligned EOL 0x00 0x80, which keeps every line over the T.4 minimum transmission time
//     on the board. Two EOLs in a row, or an EOL and twelve 0 bits, end the page.
#pragma once

#include <cstdint>
#include <span>

#include "faxconv/LineBuffer.h"
#include "faxconv/RunRecogniser.h"

namespace faxconv {

enum class Direction : uint8_t { BfxToTiff, TiffToBfx };

// Whether a BFX document opens with a run of 0xFF fill bytes (see `LineRecoder::StartConversion`).
enum class LeadingFill : uint8_t { Absent, Present };

// Which pixel value a TIFF page codes as "white" runs. The board takes 0 as white; a page whose
// PhotometricInterpretation is 1 (black is zero) has every run in the other colour.
enum class Polarity : uint8_t { WhiteIsZero, BlackIsZero };

// What happened to the lines of one page.
struct PageCounts {
  uint32_t rows = 0;      // lines handed to the page, replacements included
  uint32_t replaced = 0;  // lines of the wrong width, replaced by the last good line (or nothing)
  uint32_t dropped = 0;   // good lines left out (the line after a BFX's leading fill)
  uint64_t bytes = 0;     // line bytes handed to the page
};

// Where finished lines go: a file writer, or a counter for `faxconv info`.
class PageSink {
 public:
  virtual ~PageSink() = default;
  // One line of the current page. Empty when a wrong line had no good line to stand in for it:
  // it still counts as a row of the TIFF page.
  virtual void WriteLine(std::span<const uint8_t> line) = 0;
  virtual void EndPage(const PageCounts& counts) = 0;
};

class LineRecoder {
 public:
  // Every line after a BFX page's first is at least this long before its closing 0x00 0x80.
  static constexpr std::size_t kMinBfxLineBytes = 22;
  // EOLs in a row that end a BFX page (return-to-control, T.4 4.1.4).
  static constexpr int kBfxPageEndEols = 6;

  LineRecoder(Direction direction, PageSink& sink) : direction_(direction), sink_(&sink) {}

  // A new conversion: no last good line, no page state. `fill` says whether the BFX document
  // opens with 0xFF fill; its first good line is then left out (BFX to TIFF only).
  void StartConversion(LeadingFill fill = LeadingFill::Absent);
  // BFX to TIFF, before each page's data: the bits since the last match are dropped.
  void StartPage();
  // TIFF to BFX, before each strip. A strip begins on a byte boundary, so pending bits are
  // dropped and the EOL run starts again. A line whose code words run on from the previous
  // strip stays open, so the next EOL closes it like any other line.
  void StartStrip();

  // TIFF to BFX, before each page. A black-is-zero page is inverted as it is re-framed: each
  // code word is replaced by the code of the same run in the other colour (both colours code
  // the same run lengths, terminating and make-up alike), and each line gains a white run of 0
  // in front, since a T.4 line always begins with white. No pixel is decoded.
  void SetPolarity(Polarity polarity) { polarity_ = polarity; }

  // Feeds a block of the stream. Stop means the page ended inside it and the rest of the block
  // was not looked at.
  [[nodiscard]] Flow Feed(std::span<const uint8_t> block, BitOrder order);

  // The source has no more data for this page (the end of a TIFF page's last strip). Unless the
  // page has just ended, it ends here. An unfinished last line that adds up to exactly 1728
  // pixels is kept, closed as an EOL would close it: writers that put no EOL after the last
  // line (libtiff, and so most TIFF fax files) would otherwise lose every page's bottom row.
  void FinishPage();

  [[nodiscard]] const PageCounts& counts() const { return counts_; }
  [[nodiscard]] uint32_t pagesEnded() const { return pagesEnded_; }
  [[nodiscard]] const RunRecogniser& recogniser() const { return recogniser_; }

 private:
  struct BfxToTiffItems;
  template <Polarity P>
  struct TiffToBfxItems;
  friend struct BfxToTiffItems;
  template <Polarity P>
  friend struct TiffToBfxItems;

  LineBuffer& Line() { return lines_[current_]; }
  void StartNewLine();
  void KeepAsLastGood();
  void WriteLine(std::span<const uint8_t> line);
  void EndPage();

  Flow BfxEol(uint32_t width);
  Flow TiffEol(uint32_t width);
  Flow TiffPageEnd();

  Direction direction_;
  PageSink* sink_;
  RunRecogniser recogniser_;
  // The line being built and the last good line; they swap roles instead of being copied.
  LineBuffer lines_[2];
  int current_ = 0;
  bool haveLastGood_ = false;
  PageCounts counts_;
  uint32_t pagesEnded_ = 0;
  bool fedSincePageEnd_ = false;

  // BFX to TIFF.
  int eolRun_ = 0;  // EOLs in a row; -1 right after a page end
  bool lastWasEol_ = false;
  LeadingFill leadingFill_ = LeadingFill::Absent;

  // TIFF to BFX.
  bool lineOpen_ = false;
  int eolsSinceCode_ = 0;
  Polarity polarity_ = Polarity::WhiteIsZero;
};

}  // namespace faxconv
