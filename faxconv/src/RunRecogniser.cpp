#include "faxconv/RunRecogniser.h"

#include <bit>
#include <map>
#include <stdexcept>
#include <tuple>

#include "faxconv/ReferenceRecogniser.h"

namespace faxconv {
namespace {

// Fill bits after an EOL that end a TIFF page are twelve 0 bits; more zeros change nothing.
constexpr uint8_t kZeroCap = 12;
// A register of more bits than the longest code can match no code word any more.
constexpr uint16_t kLostCount = kMaxCodeLength + 7;

using StateKey = std::tuple<int, bool, int, int, int>;  // colour, lost, length, bits, zeros

StateKey KeyOf(const RecogniserTables::StateInfo& s) {
  return {static_cast<int>(s.colour), s.lost, s.length, s.bits, s.zeros};
}

// The machine state a reference register is in: what decides everything it does next.
RecogniserTables::StateInfo Reduce(const ReferenceRecogniser& r) {
  const uint16_t count = r.count();
  if (count <= kMaxCodeLength) {
    const auto length = static_cast<uint8_t>(count);
    const auto bits = static_cast<uint16_t>(r.code() & ((1u << length) - 1));
    if (ReferenceRecogniser::IsProperPrefix(r.colour(), length, bits)) {
      return {r.colour(), false, length, bits, 0};
    }
  }
  const unsigned real = std::min<unsigned>(count, 16);
  const unsigned zeros = std::min<unsigned>(std::countr_zero(r.code()), real);
  return {r.colour(), true, 0, 0, static_cast<uint8_t>(std::min<unsigned>(zeros, kZeroCap))};
}

// A register in the given machine state.
ReferenceRecogniser Represent(const RecogniserTables::StateInfo& s) {
  ReferenceRecogniser r;
  if (s.lost) {
    r.Set(static_cast<uint16_t>(1u << s.zeros), kLostCount, s.colour);
  } else {
    r.Set(s.bits, s.length, s.colour);
  }
  return r;
}

RecogniserTables Build() {
  RecogniserTables t;
  std::map<StateKey, uint16_t> index;
  auto add = [&](const RecogniserTables::StateInfo& s) {
    auto [it, inserted] = index.emplace(KeyOf(s), static_cast<uint16_t>(t.states.size()));
    if (inserted) t.states.push_back(s);
    return it->second;
  };
  for (Colour colour : {Colour::White, Colour::Black}) {
    for (const T4Code& c : kAllCodes) {
      if (c.colour != colour) continue;
      for (uint8_t length = 0; length < c.length; ++length) {
        add({colour, false, length, static_cast<uint16_t>(c.bits >> (c.length - length)), 0});
      }
    }
    for (uint8_t zeros = 0; zeros <= kZeroCap; ++zeros) add({colour, true, 0, 0, zeros});
  }
  t.whiteRoot = index.at(KeyOf({Colour::White, false, 0, 0, 0}));
  t.blackRoot = index.at(KeyOf({Colour::Black, false, 0, 0, 0}));

  const std::size_t n = t.states.size();
  t.entries.resize(n * 16);
  std::vector<uint64_t> nibbleBatches(n * 16);
  t.rootOfState.resize(n);
  t.colourOfState.resize(n);
  for (std::size_t s = 0; s < n; ++s) {
    t.colourOfState[s] = t.states[s].colour;
    t.rootOfState[s] = t.states[s].colour == Colour::White ? t.whiteRoot : t.blackRoot;
    for (unsigned nibble = 0; nibble < 16; ++nibble) {
      ReferenceRecogniser r = Represent(t.states[s]);
      uint64_t entry = 0;
      unsigned items = 0;
      bool marks = false;
      uint32_t batchBits = 0, batchLength = 0, batchRun = 0, batchCount = 0;
      for (unsigned k = 0; k < 4; ++k) {
        const bool zerosBefore = Reduce(r).lost && Reduce(r).zeros >= kZeroCap;
        const RecognisedBit got = r.Feed((nibble >> k) & 1u);
        uint8_t item = 0;
        switch (got.event) {
          case BitEvent::None:
            continue;
          case BitEvent::CodeWord: {
            item = got.codeIndex;
            const T4Code& c = kAllCodes[item];
            uint32_t lsbFirst = 0;
            for (uint8_t b = 0; b < c.length; ++b)
              lsbFirst |= ((c.bits >> b) & 1u) << (c.length - 1 - b);
            batchBits |= lsbFirst << batchLength;
            batchLength += c.length;
            batchRun += c.run;
            ++batchCount;
            break;
          }
          case BitEvent::Eol:
            item = RecogniserTables::kEolItem;
            marks = true;
            break;
          case BitEvent::ZeroRun:
            // Reported once, when the run reaches twelve: nothing that acts on it can change
            // while further 0 bits arrive.
            if (zerosBefore) continue;
            item = RecogniserTables::kZeroRunItem;
            marks = true;
            break;
        }
        entry |= static_cast<uint64_t>(item) << (24 + 8 * items);
        ++items;
      }
      const RecogniserTables::StateInfo next = Reduce(r);
      const auto found = index.find(KeyOf(next));
      if (found == index.end()) throw std::logic_error("recogniser state missing from its table");
      entry |= found->second;
      entry |= static_cast<uint64_t>(items) << 16;
      t.entries[s * 16 + nibble] = entry;
      nibbleBatches[s * 16 + nibble] =
          marks ? RecogniserTables::kBatchHasMarks
                : found->second | uint64_t{batchBits} << RecogniserTables::kBatchBitsShift |
                      uint64_t{batchLength} << RecogniserTables::kBatchLengthShift |
                      uint64_t{batchRun} << RecogniserTables::kBatchRunShift |
                      uint64_t{batchCount} << RecogniserTables::kBatchCountShift;
    }
  }
  // A byte's batch is its two nibbles' batches one after the other.
  t.batches.resize(n * 256);
  auto field = [](uint64_t e, unsigned shift, uint64_t mask) { return (e >> shift) & mask; };
  for (std::size_t s = 0; s < n; ++s) {
    for (unsigned byte = 0; byte < 256; ++byte) {
      const uint64_t lo = nibbleBatches[s * 16 + (byte & 0x0F)];
      if (lo & RecogniserTables::kBatchHasMarks) {
        t.batches[s * 256 + byte] = RecogniserTables::kBatchHasMarks;
        continue;
      }
      const uint64_t hi = nibbleBatches[(lo & 0xFFFF) * 16 + (byte >> 4)];
      if (hi & RecogniserTables::kBatchHasMarks) {
        t.batches[s * 256 + byte] = RecogniserTables::kBatchHasMarks;
        continue;
      }
      using T = RecogniserTables;
      const uint64_t loLength = field(lo, T::kBatchLengthShift, 0x1F);
      const uint64_t bits = field(lo, T::kBatchBitsShift, 0xFFFFF) |
                            field(hi, T::kBatchBitsShift, 0xFFFFF) << loLength;
      const uint64_t length = loLength + field(hi, T::kBatchLengthShift, 0x1F);
      const uint64_t run =
          field(lo, T::kBatchRunShift, 0x3FFF) + field(hi, T::kBatchRunShift, 0x3FFF);
      const uint64_t count =
          field(lo, T::kBatchCountShift, 0xF) + field(hi, T::kBatchCountShift, 0xF);
      if (length > 20 || run >= (1u << 14) || count > 15) {
        throw std::logic_error("a byte's code words do not fit their batch fields");
      }
      t.batches[s * 256 + byte] = (hi & 0xFFFF) | bits << T::kBatchBitsShift |
                                  length << T::kBatchLengthShift | run << T::kBatchRunShift |
                                  count << T::kBatchCountShift;
    }
  }
  for (unsigned b = 0; b < 256; ++b) {
    unsigned r = 0;
    for (unsigned k = 0; k < 8; ++k) r |= ((b >> k) & 1u) << (7 - k);
    t.reversed[b] = static_cast<uint8_t>(r);
  }
  return t;
}

}  // namespace

const RecogniserTables& RecogniserTables::Get() {
  static const RecogniserTables tables = Build();
  return tables;
}

}  // namespace faxconv
