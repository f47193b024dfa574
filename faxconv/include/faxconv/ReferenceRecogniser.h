// The recogniser's meaning, one bit at a time: every bit is shifted into a code register and the
// register is searched among the codes of its length and the current colour. This is the
// definition that the fast table-driven `RunRecogniser` is built from and checked against; the
// conversions never run it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "faxconv/T4Codes.h"

namespace faxconv {

enum class BitEvent : uint8_t {
  None,
  CodeWord,  // a code word of the current colour ended with this bit
  Eol,       // eleven 0 bits and a 1 ended with this bit
  ZeroRun,   // at least twelve 0 bits since the last code word or EOL (fill after an EOL
             // ends a page on the TIFF side)
};

struct RecognisedBit {
  BitEvent event = BitEvent::None;
  uint8_t codeIndex = 0;  // into kAllCodes, for CodeWord
  uint32_t width = 0;     // the line's width when an EOL ended it
};

class ReferenceRecogniser {
 public:
  [[nodiscard]] RecognisedBit Feed(unsigned bit);

  // Forget the bits since the last match (start of a page or strip).
  void ClearCode() {
    code_ = 0;
    count_ = 0;
  }
  void Reset() {
    ClearCode();
    colour_ = Colour::White;
    width_ = 0;
  }
  // Puts the register in a given state; the table builder starts from every state it needs.
  void Set(uint16_t code, uint16_t count, Colour colour) {
    code_ = code;
    count_ = count;
    colour_ = colour;
  }

  [[nodiscard]] uint16_t code() const { return code_; }
  [[nodiscard]] uint16_t count() const { return count_; }
  [[nodiscard]] Colour colour() const { return colour_; }
  [[nodiscard]] uint32_t width() const { return width_; }

  // Whether the low `length` bits `bits` begin some code of `colour` (the empty prefix does).
  [[nodiscard]] static bool IsProperPrefix(Colour colour, uint8_t length, uint16_t bits);
  // Index into kAllCodes of the code of this colour, length and bits, or -1.
  [[nodiscard]] static int Lookup(Colour colour, uint8_t length, uint16_t bits);

 private:
  uint16_t code_ = 0;
  // Bits since the last match. It stops counting at its maximum instead of wrapping, so that a
  // long stretch of garbage can never bring short code words back before the next EOL.
  uint16_t count_ = 0;
  Colour colour_ = Colour::White;
  uint32_t width_ = 0;
};

}  // namespace faxconv
