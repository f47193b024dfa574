// The Modified Huffman code words of ITU-T T.4 (one-dimensional coding), defined once and shared
// by the recogniser, which finds them in a stream, and by everything that writes them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace faxconv {

enum class Colour : uint8_t { White, Black };

// Every fax line the board sends or receives is 1728 pixels wide (T.4, A4 at 8 pels/mm).
inline constexpr uint32_t kLineWidth = 1728;

// The end-of-line code, eleven 0 bits and a 1 (T.4 section 4.1.2). It is not in the tables:
// it is recognised apart, wherever its twelve bits appear.
inline constexpr uint16_t kEolBits = 0x001;
inline constexpr uint8_t kEolLength = 12;

struct T4Code {
  uint16_t run;    // run length in pixels
  uint8_t length;  // bits in the code word, 2 ... 13
  uint16_t bits;   // the code word, first transmitted bit most significant
  Colour colour;

  // Terminating codes (runs 0 ... 63) end a run and hand over to the other colour; make-up
  // codes (multiples of 64) are followed by a terminating code of the same colour.
  [[nodiscard]] constexpr bool Terminating() const { return run < 64; }
};

namespace detail {
constexpr T4Code Code(Colour colour, uint16_t run, std::string_view pattern) {
  uint16_t bits = 0;
  for (char c : pattern) bits = static_cast<uint16_t>(bits * 2 + (c == '1' ? 1 : 0));
  return T4Code{run, static_cast<uint8_t>(pattern.size()), bits, colour};
}
constexpr T4Code W(uint16_t run, std::string_view pattern) {
  return Code(Colour::White, run, pattern);
}
constexpr T4Code B(uint16_t run, std::string_view pattern) {
  return Code(Colour::Black, run, pattern);
}
}  // namespace detail

inline constexpr std::size_t kCodesPerColour = 91;  // 64 terminating + 27 make-up

// T.4 Table 2/T.4 (terminating codes) and Table 3a/T.4 (make-up codes), white runs.
inline constexpr std::array<T4Code, kCodesPerColour> kWhiteCodes = {{
    detail::W(0, "00110101"),     detail::W(1, "000111"),       detail::W(2, "0111"),
    detail::W(3, "1000"),         detail::W(4, "1011"),         detail::W(5, "1100"),
    detail::W(6, "1110"),         detail::W(7, "1111"),         detail::W(8, "10011"),
    detail::W(9, "10100"),        detail::W(10, "00111"),       detail::W(11, "01000"),
    detail::W(12, "001000"),      detail::W(13, "000011"),      detail::W(14, "110100"),
    detail::W(15, "110101"),      detail::W(16, "101010"),      detail::W(17, "101011"),
    detail::W(18, "0100111"),     detail::W(19, "0001100"),     detail::W(20, "0001000"),
    detail::W(21, "0010111"),     detail::W(22, "0000011"),     detail::W(23, "0000100"),
    detail::W(24, "0101000"),     detail::W(25, "0101011"),     detail::W(26, "0010011"),
    detail::W(27, "0100100"),     detail::W(28, "0011000"),     detail::W(29, "00000010"),
    detail::W(30, "00000011"),    detail::W(31, "00011010"),    detail::W(32, "00011011"),
    detail::W(33, "00010010"),    detail::W(34, "00010011"),    detail::W(35, "00010100"),
    detail::W(36, "00010101"),    detail::W(37, "00010110"),    detail::W(38, "00010111"),
    detail::W(39, "00101000"),    detail::W(40, "00101001"),    detail::W(41, "00101010"),
    detail::W(42, "00101011"),    detail::W(43, "00101100"),    detail::W(44, "00101101"),
    detail::W(45, "00000100"),    detail::W(46, "00000101"),    detail::W(47, "00001010"),
    detail::W(48, "00001011"),    detail::W(49, "01010010"),    detail::W(50, "01010011"),
    detail::W(51, "01010100"),    detail::W(52, "01010101"),    detail::W(53, "00100100"),
    detail::W(54, "00100101"),    detail::W(55, "01011000"),    detail::W(56, "01011001"),
    detail::W(57, "01011010"),    detail::W(58, "01011011"),    detail::W(59, "01001010"),
    detail::W(60, "01001011"),    detail::W(61, "00110010"),    detail::W(62, "00110011"),
    detail::W(63, "00110100"),    detail::W(64, "11011"),       detail::W(128, "10010"),
    detail::W(192, "010111"),     detail::W(256, "0110111"),    detail::W(320, "00110110"),
    detail::W(384, "00110111"),   detail::W(448, "01100100"),   detail::W(512, "01100101"),
    detail::W(576, "01101000"),   detail::W(640, "01100111"),   detail::W(704, "011001100"),
    detail::W(768, "011001101"),  detail::W(832, "011010010"),  detail::W(896, "011010011"),
    detail::W(960, "011010100"),  detail::W(1024, "011010101"), detail::W(1088, "011010110"),
    detail::W(1152, "011010111"), detail::W(1216, "011011000"), detail::W(1280, "011011001"),
    detail::W(1344, "011011010"), detail::W(1408, "011011011"), detail::W(1472, "010011000"),
    detail::W(1536, "010011001"), detail::W(1600, "010011010"), detail::W(1664, "011000"),
    detail::W(1728, "010011011"),
}};

// T.4 Table 2/T.4 (terminating codes) and Table 3a/T.4 (make-up codes), black runs.
inline constexpr std::array<T4Code, kCodesPerColour> kBlackCodes = {{
    detail::B(0, "0000110111"),
    detail::B(1, "010"),
    detail::B(2, "11"),
    detail::B(3, "10"),
    detail::B(4, "011"),
    detail::B(5, "0011"),
    detail::B(6, "0010"),
    detail::B(7, "00011"),
    detail::B(8, "000101"),
    detail::B(9, "000100"),
    detail::B(10, "0000100"),
    detail::B(11, "0000101"),
    detail::B(12, "0000111"),
    detail::B(13, "00000100"),
    detail::B(14, "00000111"),
    detail::B(15, "000011000"),
    detail::B(16, "0000010111"),
    detail::B(17, "0000011000"),
    detail::B(18, "0000001000"),
    detail::B(19, "00001100111"),
    detail::B(20, "00001101000"),
    detail::B(21, "00001101100"),
    detail::B(22, "00000110111"),
    detail::B(23, "00000101000"),
    detail::B(24, "00000010111"),
    detail::B(25, "00000011000"),
    detail::B(26, "000011001010"),
    detail::B(27, "000011001011"),
    detail::B(28, "000011001100"),
    detail::B(29, "000011001101"),
    detail::B(30, "000001101000"),
    detail::B(31, "000001101001"),
    detail::B(32, "000001101010"),
    detail::B(33, "000001101011"),
    detail::B(34, "000011010010"),
    detail::B(35, "000011010011"),
    detail::B(36, "000011010100"),
    detail::B(37, "000011010101"),
    detail::B(38, "000011010110"),
    detail::B(39, "000011010111"),
    detail::B(40, "000001101100"),
    detail::B(41, "000001101101"),
    detail::B(42, "000011011010"),
    detail::B(43, "000011011011"),
    detail::B(44, "000001010100"),
    detail::B(45, "000001010101"),
    detail::B(46, "000001010110"),
    detail::B(47, "000001010111"),
    detail::B(48, "000001100100"),
    detail::B(49, "000001100101"),
    detail::B(50, "000001010010"),
    detail::B(51, "000001010011"),
    detail::B(52, "000000100100"),
    detail::B(53, "000000110111"),
    detail::B(54, "000000111000"),
    detail::B(55, "000000100111"),
    detail::B(56, "000000101000"),
    detail::B(57, "000001011000"),
    detail::B(58, "000001011001"),
    detail::B(59, "000000101011"),
    detail::B(60, "000000101100"),
    detail::B(61, "000001011010"),
    detail::B(62, "000001100110"),
    detail::B(63, "000001100111"),
    detail::B(64, "0000001111"),
    detail::B(128, "000011001000"),
    detail::B(192, "000011001001"),
    detail::B(256, "000001011011"),
    detail::B(320, "000000110011"),
    detail::B(384, "000000110100"),
    detail::B(448, "000000110101"),
    detail::B(512, "0000001101100"),
    detail::B(576, "0000001101101"),
    detail::B(640, "0000001001010"),
    detail::B(704, "0000001001011"),
    detail::B(768, "0000001001100"),
    detail::B(832, "0000001001101"),
    detail::B(896, "0000001110010"),
    detail::B(960, "0000001110011"),
    detail::B(1024, "0000001110100"),
    detail::B(1088, "0000001110101"),
    detail::B(1152, "0000001110110"),
    detail::B(1216, "0000001110111"),
    detail::B(1280, "0000001010010"),
    detail::B(1344, "0000001010011"),
    detail::B(1408, "0000001010100"),
    detail::B(1472, "0000001010101"),
    detail::B(1536, "0000001011010"),
    detail::B(1600, "0000001011011"),
    detail::B(1664, "0000001100100"),
    detail::B(1728, "0000001100101"),
}};

// Both colours in one list, white first: a code's index here (0 ... 181) is how the recogniser
// names the code words it finds.
inline constexpr std::size_t kCodeCount = 2 * kCodesPerColour;
inline constexpr std::array<T4Code, kCodeCount> kAllCodes = [] {
  std::array<T4Code, kCodeCount> all{};
  for (std::size_t i = 0; i < kCodesPerColour; ++i) {
    all[i] = kWhiteCodes[i];
    all[kCodesPerColour + i] = kBlackCodes[i];
  }
  return all;
}();

inline constexpr uint8_t kMinCodeLength = 2;
inline constexpr uint8_t kMaxCodeLength = 13;

// The code of a run length of one colour (0 ... 63, or a multiple of 64 up to 1728), for
// writers of test streams and for the tables' own checks. Returns nullptr for other lengths.
[[nodiscard]] constexpr const T4Code* FindCode(Colour colour, uint32_t run) {
  const auto& codes = colour == Colour::White ? kWhiteCodes : kBlackCodes;
  for (const T4Code& code : codes) {
    if (code.run == run) return &code;
  }
  return nullptr;
}

}  // namespace faxconv
