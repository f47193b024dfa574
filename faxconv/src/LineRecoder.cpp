#include "faxconv/LineRecoder.h"

namespace faxconv {

// The recogniser calls these for every item; they forward to the direction's rules.
struct LineRecoder::BfxToTiffItems {
  static constexpr bool kTakesBatches = true;
  LineRecoder& r;
  void OnCodeWords(uint32_t bits, unsigned length, unsigned count) {
    r.Line().AppendCodeBits(bits, length, count);
    r.lastWasEol_ = false;
  }
  Flow OnCodeWord(uint8_t code) {
    r.Line().AppendCode(code);
    r.lastWasEol_ = false;
    return Flow::Continue;
  }
  Flow OnEol(uint32_t width) { return r.BfxEol(width); }
  Flow OnZeroRun() { return Flow::Continue; }
};

template <Polarity P>
struct LineRecoder::TiffToBfxItems {
  // Inverting needs each code word by itself.
  static constexpr bool kTakesBatches = P == Polarity::WhiteIsZero;
  LineRecoder& r;
  void OnCodeWords(uint32_t bits, unsigned length, unsigned count) {
    r.Line().AppendCodeBits(bits, length, count);
    r.eolsSinceCode_ = 0;
  }
  Flow OnCodeWord(uint8_t code) {
    if constexpr (P == Polarity::BlackIsZero) {
      LineBuffer& line = r.Line();
      if (line.codeWords() == 0) line.AppendCode(0);  // white 0
      line.AppendCode(static_cast<uint8_t>((code + kCodesPerColour) % kCodeCount));
    } else {
      r.Line().AppendCode(code);
    }
    r.eolsSinceCode_ = 0;
    return Flow::Continue;
  }
  Flow OnEol(uint32_t width) { return r.TiffEol(width); }
  // Fill of twelve 0 bits after an EOL ends the page.
  Flow OnZeroRun() { return r.eolsSinceCode_ >= 1 ? r.TiffPageEnd() : Flow::Continue; }
};

void LineRecoder::StartConversion(LeadingFill fill) {
  recogniser_.Reset();
  lines_[0].Clear();
  lines_[1].Clear();
  current_ = 0;
  haveLastGood_ = false;
  counts_ = {};
  pagesEnded_ = 0;
  fedSincePageEnd_ = false;
  eolRun_ = 0;
  lastWasEol_ = false;
  leadingFill_ = fill;
  lineOpen_ = false;
  eolsSinceCode_ = 0;
  polarity_ = Polarity::WhiteIsZero;
}

void LineRecoder::StartPage() {
  recogniser_.ClearCode();
}

void LineRecoder::StartStrip() {
  recogniser_.ClearCode();
  eolsSinceCode_ = 0;
  if (Line().codeWords() == 0) {
    lineOpen_ = false;
    recogniser_.ClearWidth();
  }
}

Flow LineRecoder::Feed(std::span<const uint8_t> block, BitOrder order) {
  if (block.empty()) return Flow::Continue;
  fedSincePageEnd_ = true;
  if (direction_ == Direction::BfxToTiff) {
    BfxToTiffItems items{*this};
    return recogniser_.Feed(block, order, items);
  }
  if (polarity_ == Polarity::BlackIsZero) {
    TiffToBfxItems<Polarity::BlackIsZero> items{*this};
    return recogniser_.Feed(block, order, items);
  }
  TiffToBfxItems<Polarity::WhiteIsZero> items{*this};
  return recogniser_.Feed(block, order, items);
}

void LineRecoder::StartNewLine() {
  Line().Clear();
}

void LineRecoder::KeepAsLastGood() {
  current_ ^= 1;
  haveLastGood_ = true;
}

void LineRecoder::WriteLine(std::span<const uint8_t> line) {
  ++counts_.rows;
  counts_.bytes += line.size();
  sink_->WriteLine(line);
}

void LineRecoder::EndPage() {
  sink_->EndPage(counts_);
  counts_ = {};
  ++pagesEnded_;
  fedSincePageEnd_ = false;
}

Flow LineRecoder::BfxEol(uint32_t width) {
  eolRun_ = lastWasEol_ ? eolRun_ + 1 : 1;
  lastWasEol_ = true;
  if (eolRun_ >= kBfxPageEndEols) {
    EndPage();
    haveLastGood_ = false;
    eolRun_ = -1;
    return Flow::Stop;
  }
  if (eolRun_ >= 2) return Flow::Continue;

  LineBuffer& line = Line();
  line.CloseWithAlignedEol();
  const bool good = !line.overflowed() && (width == kLineWidth || width == 0);
  if (!good) {
    ++counts_.replaced;
    WriteLine(haveLastGood_ ? lines_[current_ ^ 1].Bytes() : std::span<const uint8_t>{});
  } else if (eolRun_ == 1 && counts_.bytes == 0 && leadingFill_ == LeadingFill::Present) {
    // The line after a leading 0xFF fill is left out once; it still stands in for bad lines.
    ++counts_.dropped;
    leadingFill_ = LeadingFill::Absent;
    KeepAsLastGood();
  } else {
    WriteLine(line.Bytes());
    KeepAsLastGood();
  }
  StartNewLine();
  return Flow::Continue;
}

Flow LineRecoder::TiffEol(uint32_t width) {
  if (!(lineOpen_ && eolsSinceCode_ >= 1 && counts_.bytes > 0)) {
    LineBuffer& line = Line();
    line.AlignToByte();
    if (lineOpen_) line.PadTo(kMinBfxLineBytes);
    line.AppendAlignedEol();
    const bool good = !line.overflowed() && (width == kLineWidth || width == 0);
    if (good) {
      WriteLine(line.Bytes());
      KeepAsLastGood();
    } else {
      ++counts_.replaced;
      if (haveLastGood_) WriteLine(lines_[current_ ^ 1].Bytes());
    }
    StartNewLine();
    lineOpen_ = true;
  }
  ++eolsSinceCode_;
  return eolsSinceCode_ >= 2 ? TiffPageEnd() : Flow::Continue;
}

Flow LineRecoder::TiffPageEnd() {
  if (counts_.bytes > 2) {
    EndPage();
    Line().Clear();
    lineOpen_ = false;
  } else {
    // Nothing but an opening line yet: the page goes on, the EOL run becoming fill.
    Line().AppendZeros(kEolLength);
    fedSincePageEnd_ = false;
  }
  eolsSinceCode_ = 0;
  return Flow::Stop;  // the recogniser starts again in white with width 0
}

void LineRecoder::FinishPage() {
  if (!fedSincePageEnd_) return;
  if (direction_ == Direction::TiffToBfx) {
    if (Line().codeWords() > 0 && !Line().overflowed() && recogniser_.width() == kLineWidth) {
      // A code word was the last item, so this EOL is neither ignored nor a page end.
      (void)TiffEol(recogniser_.width());
    }
    (void)TiffPageEnd();
    recogniser_.Reset();
    return;
  }
  // BFX to TIFF: every page is fed its data and then seven EOLs, so this is never reached by
  // the conversions; a page that somehow did not end is ended as six EOLs would end it.
  Line().Clear();
  EndPage();
  haveLastGood_ = false;
  eolRun_ = -1;
  lastWasEol_ = true;
  recogniser_.Reset();
}

}  // namespace faxconv
