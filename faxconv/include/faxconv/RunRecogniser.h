// Finds the T.4 Modified Huffman code words and EOLs in a code stream, four bits at a time.
//
// The recogniser's meaning is the per-bit search of `ReferenceRecogniser`: shift a bit in, look
// for an EOL (eleven 0 bits and a 1), then for a code word of the current colour among the codes
// of that length. Bits that match nothing pile up until an EOL resynchronises the stream. Only a
// few hundred distinct register states matter for what happens next (a proper prefix of some
// code of the current colour, or "lost" with the number of trailing 0 bits), so the per-bit
// search is run once for every such state and every 4-bit group, and the results are kept in a
// table: the next state and up to four items found. Feeding a byte is then two table look-ups.
// The tables are built from the reference itself, so both find the same code words.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "faxconv/T4Codes.h"

namespace faxconv {

// The order in which a byte's bits travel: least significant first is the BFX page data and
// TIFF FillOrder 2; most significant first is TIFF FillOrder 1.
enum class BitOrder : uint8_t { LsbFirst, MsbFirst };

// What a consumer of recognised items tells the recogniser: go on, or stop here because the
// page ended (the rest of what was fed is not looked at).
enum class Flow : uint8_t { Continue, Stop };

// The precomputed state machine, one per process, shared by every recogniser.
struct RecogniserTables {
  // Item codes in an entry: 0 ... kCodeCount-1 name a code word of kAllCodes.
  static constexpr uint8_t kEolItem = 0xFE;
  static constexpr uint8_t kZeroRunItem = 0xFF;

  // Entry for (state, nibble) at state * 16 + nibble, nibble bit 0 being the first bit:
  // bits 0-15 the next state, 16-23 the number of items, 24 + 8k the k-th item.
  std::vector<uint64_t> entries;
  std::vector<uint16_t> rootOfState;  // the state after the code register is cleared
  std::vector<Colour> colourOfState;
  uint16_t whiteRoot = 0;
  uint16_t blackRoot = 0;
  std::array<uint8_t, 256> reversed{};  // each byte with its bit order reversed

  // The states the machine has; for the tables' own checks.
  struct StateInfo {
    Colour colour;
    bool lost;        // the bits since the last match begin no code of this colour
    uint8_t length;   // of the pending prefix, when not lost
    uint16_t bits;    // the pending prefix
    uint8_t zeros;    // trailing 0 bits when lost, 0 ... 12 (12 meaning 12 or more)
  };
  std::vector<StateInfo> states;

  [[nodiscard]] static const RecogniserTables& Get();
};

class RunRecogniser {
 public:
  RunRecogniser() : tables_(&RecogniserTables::Get()), state_(tables_->whiteRoot) {}

  // Feeds `bytes` in the given bit order. For every item found, in stream order, calls one of
  //   Flow sink.OnCodeWord(const T4Code&)   a code word of the current colour
  //   Flow sink.OnEol(uint32_t width)       an EOL, with the width of the line it ends
  //   Flow sink.OnZeroRun()                 twelve 0 bits in a row since the last item
  // A Stop ends the feed at once: it is always a page end, after which recognition starts
  // again in white with an empty line.
  template <class Sink>
  [[nodiscard]] Flow Feed(std::span<const uint8_t> bytes, BitOrder order, Sink& sink);

  // The start of a page or strip: drop the bits since the last match, keep the colour.
  void ClearCode() { state_ = tables_->rootOfState[state_]; }
  void ClearWidth() { width_ = 0; }
  // A new line in white with nothing pending.
  void Reset() {
    state_ = tables_->whiteRoot;
    width_ = 0;
  }

  [[nodiscard]] uint32_t width() const { return width_; }
  [[nodiscard]] Colour colour() const { return tables_->colourOfState[state_]; }
  [[nodiscard]] uint16_t state() const { return state_; }

 private:
  // Widths beyond any real line are held here instead of growing without bound.
  static constexpr uint32_t kWidthCap = 0xFFFFFF;

  template <class Sink>
  [[nodiscard]] Flow Step(unsigned nibble, Sink& sink);

  const RecogniserTables* tables_;
  uint16_t state_;
  uint32_t width_ = 0;
};

template <class Sink>
inline Flow RunRecogniser::Step(unsigned nibble, Sink& sink) {
  const uint64_t entry = tables_->entries[(static_cast<std::size_t>(state_) << 4) | nibble];
  state_ = static_cast<uint16_t>(entry);
  const unsigned items = static_cast<unsigned>(entry >> 16) & 0xFF;
  for (unsigned k = 0; k < items; ++k) {
    const auto item = static_cast<uint8_t>(entry >> (24 + 8 * k));
    Flow flow;
    if (item < kCodeCount) {
      const T4Code& code = kAllCodes[item];
      width_ = std::min(width_ + code.run, kWidthCap);
      flow = sink.OnCodeWord(code);
    } else if (item == RecogniserTables::kEolItem) {
      const uint32_t width = width_;
      width_ = 0;
      flow = sink.OnEol(width);
    } else {
      flow = sink.OnZeroRun();
    }
    if (flow == Flow::Stop) {
      Reset();
      return Flow::Stop;
    }
  }
  return Flow::Continue;
}

template <class Sink>
inline Flow RunRecogniser::Feed(std::span<const uint8_t> bytes, BitOrder order, Sink& sink) {
  const auto& reversed = tables_->reversed;
  for (uint8_t raw : bytes) {
    const uint8_t byte = order == BitOrder::MsbFirst ? reversed[raw] : raw;
    if (Step(byte & 0x0Fu, sink) == Flow::Stop) return Flow::Stop;
    if (Step(byte >> 4, sink) == Flow::Stop) return Flow::Stop;
  }
  return Flow::Continue;
}

}  // namespace faxconv
