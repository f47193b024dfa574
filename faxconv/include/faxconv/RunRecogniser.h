// Finds the T.4 Modified Huffman code words and EOLs in a code stream, a byte at a time.
//
// The recogniser's meaning is the per-bit search of `ReferenceRecogniser`: shift a bit in, look
// for an EOL (eleven 0 bits and a 1), then for a code word of the current colour among the codes
// of that length. Bits that match nothing pile up until an EOL resynchronises the stream. Only a
// few hundred distinct register states matter for what happens next (a proper prefix of some
// code of the current colour, or "lost" with the number of trailing 0 bits), so the per-bit
// search is run once for every such state and every 4-bit group, and the results are kept in a
// table: the next state and up to four items found. A second table joins two nibbles: for a
// byte with no EOL and no zero run in it, the code words it completes, concatenated, with the
// sum of their runs. Most bytes of a page are one look-up in that table; the rest go through the
// nibble table item by item. Both tables are built from the reference itself, so they find the
// same code words as the per-bit search.
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

  // For consumers that take whole code words in batches, one entry per (state, byte) at
  // state * 256 + byte: when the byte holds no EOL and no zero run, the code words it completes,
  // concatenated (at most 20 bits: a pending 12-bit prefix and the byte's 8).
  //   bits 0-15 next state, 16-35 the code words' bits (first bit in bit 16), 36-40 their
  //   length, 41-54 the sum of their runs, 55-58 how many, 59 set when the byte holds an EOL or
  //   a zero run (then the byte goes through `entries` a nibble at a time).
  std::vector<uint64_t> batches;
  static constexpr unsigned kBatchBitsShift = 16;
  static constexpr unsigned kBatchLengthShift = 36;
  static constexpr unsigned kBatchRunShift = 41;
  static constexpr unsigned kBatchCountShift = 55;
  static constexpr uint64_t kBatchHasMarks = uint64_t{1} << 59;
  std::vector<uint16_t> rootOfState;  // the state after the code register is cleared
  std::vector<Colour> colourOfState;
  uint16_t whiteRoot = 0;
  uint16_t blackRoot = 0;
  std::array<uint8_t, 256> reversed{};  // each byte with its bit order reversed

  // The states the machine has; for the tables' own checks.
  struct StateInfo {
    Colour colour;
    bool lost;       // the bits since the last match begin no code of this colour
    uint8_t length;  // of the pending prefix, when not lost
    uint16_t bits;   // the pending prefix
    uint8_t zeros;   // trailing 0 bits when lost, 0 ... 12 (12 meaning 12 or more)
  };
  std::vector<StateInfo> states;

  [[nodiscard]] static const RecogniserTables& Get();
};

class RunRecogniser {
 public:
  RunRecogniser() : tables_(&RecogniserTables::Get()), state_(tables_->whiteRoot) {}

  // Feeds `bytes` in the given bit order. For every item found, in stream order, calls one of
  //   Flow sink.OnCodeWord(uint8_t code)    a code word of the current colour (kAllCodes[code])
  //   Flow sink.OnEol(uint32_t width)       an EOL, with the width of the line it ends
  //   Flow sink.OnZeroRun()                 twelve 0 bits in a row since the last item
  // A sink whose `kTakesBatches` is true gets runs of code words between marks as
  //   void sink.OnCodeWords(uint32_t bits, unsigned length, unsigned count)
  // instead: `count` whole code words, `length` bits in all, the first bit in bit 0.
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

  const RecogniserTables* tables_;
  uint16_t state_;
  uint32_t width_ = 0;
};

template <class Sink>
inline Flow RunRecogniser::Feed(std::span<const uint8_t> bytes, BitOrder order, Sink& sink) {
  // The state and width live in locals for the loop: the sink writes line bytes, which the
  // compiler must otherwise assume could change them.
  const uint64_t* const entries = tables_->entries.data();
  [[maybe_unused]] const uint64_t* const batches = tables_->batches.data();
  const uint8_t* const reversed = tables_->reversed.data();
  unsigned state = state_;
  uint32_t width = width_;
  for (uint8_t raw : bytes) {
    unsigned byte = order == BitOrder::MsbFirst ? reversed[raw] : raw;
    if constexpr (Sink::kTakesBatches) {
      const uint64_t batch = batches[(state << 8) | byte];
      if ((batch & RecogniserTables::kBatchHasMarks) == 0) {
        state = static_cast<uint16_t>(batch);
        const auto count = static_cast<unsigned>(batch >> RecogniserTables::kBatchCountShift) & 0xF;
        if (count != 0) {
          width = std::min(
              width + (static_cast<uint32_t>(batch >> RecogniserTables::kBatchRunShift) & 0x3FFF),
              kWidthCap);
          sink.OnCodeWords(
              static_cast<uint32_t>(batch >> RecogniserTables::kBatchBitsShift) & 0xFFFFF,
              static_cast<unsigned>(batch >> RecogniserTables::kBatchLengthShift) & 0x1F, count);
        }
        continue;
      }
    }
    for (int half = 0; half < 2; ++half, byte >>= 4) {
      const uint64_t entry = entries[(state << 4) | (byte & 0x0Fu)];
      state = static_cast<uint16_t>(entry);
      unsigned items = static_cast<unsigned>(entry >> 16) & 0xFF;
      for (uint64_t item = entry >> 24; items > 0; --items, item >>= 8) {
        const auto code = static_cast<uint8_t>(item);
        Flow flow;
        if (code < kCodeCount) {
          width = std::min(width + kAllCodes[code].run, kWidthCap);
          flow = sink.OnCodeWord(code);
        } else if (code == RecogniserTables::kEolItem) {
          flow = sink.OnEol(width);
          width = 0;
        } else {
          flow = sink.OnZeroRun();
        }
        if (flow == Flow::Stop) {
          Reset();
          return Flow::Stop;
        }
      }
    }
  }
  state_ = static_cast<uint16_t>(state);
  width_ = width;
  return Flow::Continue;
}

}  // namespace faxconv
