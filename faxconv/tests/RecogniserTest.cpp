// The code tables and the table-driven recogniser against the per-bit search it is built from.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "TestStreams.h"
#include "faxconv/BfxFormat.h"
#include "faxconv/ReferenceRecogniser.h"
#include "faxconv/RunRecogniser.h"
#include "faxconv/T4Codes.h"

namespace faxconv {
namespace {

using testing::StreamBuilder;

TEST(T4Codes, EachColourHasEveryRunOnceAndIsAPrefixCode) {
  for (const auto* codes : {&kWhiteCodes, &kBlackCodes}) {
    std::set<uint32_t> runs;
    for (const T4Code& c : *codes) {
      runs.insert(c.run);
      EXPECT_GE(c.length, kMinCodeLength);
      EXPECT_LE(c.length, kMaxCodeLength);
      EXPECT_LT(c.bits, 1u << c.length);
      // No code begins with seven 0 bits, so an EOL's zeros never start a code word.
      EXPECT_NE(c.bits >> (c.length > 7 ? c.length - 7 : 0), 0u) << c.run;
    }
    std::set<uint32_t> expected;
    for (uint32_t r = 0; r < 64; ++r) expected.insert(r);
    for (uint32_t r = 64; r <= kLineWidth; r += 64) expected.insert(r);
    EXPECT_EQ(runs, expected);
    for (const T4Code& a : *codes) {
      for (const T4Code& b : *codes) {
        if (&a == &b || a.length > b.length) continue;
        EXPECT_NE(b.bits >> (b.length - a.length), a.bits)
            << "run " << a.run << " is a prefix of run " << b.run;
      }
    }
  }
}

// A random stream of real lines, EOLs, fill and garbage, as hostile as it is ordinary.
std::vector<uint8_t> RandomStream(std::mt19937& rng, std::size_t items) {
  StreamBuilder s;
  std::uniform_int_distribution<int> kind(0, 9);
  for (std::size_t i = 0; i < items; ++i) {
    switch (kind(rng)) {
      case 0:
      case 1:
      case 2: {
        std::vector<uint32_t> runs;
        uint32_t left = kLineWidth;
        while (left > 0) {
          const uint32_t r =
              std::min<uint32_t>(left, std::uniform_int_distribution<uint32_t>(0, 300)(rng));
          runs.push_back(r);
          left -= r;
        }
        s.Runs(runs);
        break;
      }
      case 3:
      case 4:
        s.Eol();
        break;
      case 5:
        s.Zeros(std::uniform_int_distribution<std::size_t>(0, 20)(rng));
        break;
      default:
        for (int b = std::uniform_int_distribution<int>(1, 24)(rng); b > 0; --b) {
          s.Bits(rng() & 1 ? "1" : "0");
        }
    }
  }
  return s.Bytes();
}

struct Item {
  int kind;  // 0 code word, 1 EOL, 2 zero run
  int code;
  uint32_t width;
  bool operator==(const Item&) const = default;
};

struct Collect {
  static constexpr bool kTakesBatches = false;
  std::vector<Item> items;
  Flow OnCodeWord(uint8_t code) {
    items.push_back({0, code, 0});
    return Flow::Continue;
  }
  Flow OnEol(uint32_t width) {
    items.push_back({1, 0, width});
    return Flow::Continue;
  }
  Flow OnZeroRun() {
    items.push_back({2, 0, 0});
    return Flow::Continue;
  }
};

std::vector<Item> ReferenceItems(const std::vector<uint8_t>& bytes, BitOrder order) {
  ReferenceRecogniser r;
  std::vector<Item> items;
  bool zeroRunBefore = false;
  for (uint8_t byte : bytes) {
    for (int k = 0; k < 8; ++k) {
      const unsigned bit = order == BitOrder::LsbFirst ? (byte >> k) & 1 : (byte >> (7 - k)) & 1;
      const RecognisedBit got = r.Feed(bit);
      // The fast recogniser reports a run of zeros once, when it reaches twelve.
      if (got.event == BitEvent::ZeroRun && !zeroRunBefore) items.push_back({2, 0, 0});
      if (got.event == BitEvent::CodeWord) items.push_back({0, got.codeIndex, 0});
      if (got.event == BitEvent::Eol) items.push_back({1, 0, got.width});
      zeroRunBefore = got.event == BitEvent::ZeroRun;
    }
  }
  return items;
}

TEST(RunRecogniser, FindsTheSameItemsAsThePerBitSearch) {
  std::mt19937 rng(4);
  for (int trial = 0; trial < 200; ++trial) {
    const std::vector<uint8_t> bytes = RandomStream(rng, 40);
    for (BitOrder order : {BitOrder::LsbFirst, BitOrder::MsbFirst}) {
      RunRecogniser fast;
      Collect got;
      ASSERT_EQ(fast.Feed(bytes, order, got), Flow::Continue);
      ASSERT_EQ(got.items, ReferenceItems(bytes, order)) << "trial " << trial;
    }
  }
}

// What a consumer of batches sees, flattened: code word bits (0, 1), EOLs (2 and the width),
// zero runs (3).
struct Transcript {
  static constexpr bool kTakesBatches = true;
  std::vector<uint32_t> out;
  unsigned codes = 0;
  void OnCodeWords(uint32_t bits, unsigned length, unsigned count) {
    for (unsigned k = 0; k < length; ++k) out.push_back((bits >> k) & 1);
    codes += count;
  }
  Flow OnCodeWord(uint8_t code) {
    const T4Code& c = kAllCodes[code];
    for (int k = c.length - 1; k >= 0; --k) out.push_back((c.bits >> k) & 1);
    ++codes;
    return Flow::Continue;
  }
  Flow OnEol(uint32_t width) {
    out.push_back(2);
    out.push_back(width);
    return Flow::Continue;
  }
  Flow OnZeroRun() {
    out.push_back(3);
    return Flow::Continue;
  }
};

TEST(RunRecogniser, BatchesOfCodeWordsHoldTheSameBitsAsTheItems) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 200; ++trial) {
    const std::vector<uint8_t> bytes = RandomStream(rng, 40);
    RunRecogniser batched, single;
    Transcript a;
    Transcript b;
    ASSERT_EQ(batched.Feed(bytes, BitOrder::LsbFirst, a), Flow::Continue);
    Collect items;
    ASSERT_EQ(single.Feed(bytes, BitOrder::LsbFirst, items), Flow::Continue);
    for (const Item& item : items.items) {
      if (item.kind == 0) (void)b.OnCodeWord(static_cast<uint8_t>(item.code));
      if (item.kind == 1) (void)b.OnEol(item.width);
      if (item.kind == 2) (void)b.OnZeroRun();
    }
    ASSERT_EQ(a.out, b.out) << "trial " << trial;
    ASSERT_EQ(a.codes, b.codes);
    ASSERT_EQ(batched.width(), single.width());
  }
}

TEST(RunRecogniser, FeedingInPiecesChangesNothing) {
  std::mt19937 rng(7);
  const std::vector<uint8_t> bytes = RandomStream(rng, 200);
  RunRecogniser whole, pieces;
  Collect a, b;
  ASSERT_EQ(whole.Feed(bytes, BitOrder::LsbFirst, a), Flow::Continue);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    ASSERT_EQ(pieces.Feed({bytes.data() + i, n}, BitOrder::LsbFirst, b), Flow::Continue);
  }
  EXPECT_EQ(a.items, b.items);
}

TEST(RunRecogniser, ReadsCodeWordsColoursAndWidth) {
  // White 30, black 2, white 1696 = 1728, each at its code; then an EOL.
  const auto bytes = StreamBuilder().Runs({30, 2, 1696}).Eol().Bytes();
  RunRecogniser r;
  Collect got;
  ASSERT_EQ(r.Feed(bytes, BitOrder::LsbFirst, got), Flow::Continue);
  ASSERT_EQ(got.items.size(), 5u);
  EXPECT_EQ(kAllCodes[got.items[0].code].run, 30u);
  EXPECT_EQ(kAllCodes[got.items[1].code].colour, Colour::Black);
  EXPECT_EQ(kAllCodes[got.items[2].code].run, 1664u);  // make-up: colour stays white
  EXPECT_EQ(kAllCodes[got.items[3].code].run, 32u);
  EXPECT_EQ(kAllCodes[got.items[3].code].colour, Colour::White);
  EXPECT_EQ(got.items[4], (Item{1, 0, 1728}));
}

TEST(RunRecogniser, GarbageIsDroppedUntilTheNextEol) {
  // After 14 bits that begin no white code, nothing is recognised until an EOL, even bits
  // that would be code words on their own.
  const auto bytes = StreamBuilder().Bits("00000001111111").WhiteLine().Eol().WhiteLine().Bytes();
  RunRecogniser r;
  Collect got;
  ASSERT_EQ(r.Feed(bytes, BitOrder::LsbFirst, got), Flow::Continue);
  ASSERT_GE(got.items.size(), 3u);
  EXPECT_EQ(got.items[0].kind, 1);
  EXPECT_EQ(kAllCodes[got.items[1].code].run, 1728u);
}

TEST(RunRecogniser, StopEndsTheFeedAndRestartsInWhite) {
  struct StopAtEol : Collect {
    Flow OnEol(uint32_t w) {
      Collect::OnEol(w);
      return Flow::Stop;
    }
  };
  const auto bytes = StreamBuilder().Runs({10}).Eol().Runs({5}).Bytes();
  RunRecogniser r;
  StopAtEol got;
  EXPECT_EQ(r.Feed(bytes, BitOrder::LsbFirst, got), Flow::Stop);
  EXPECT_EQ(got.items.size(), 2u);  // nothing after the EOL was looked at
  EXPECT_EQ(r.colour(), Colour::White);
  EXPECT_EQ(r.width(), 0u);
}

// Every page of a BFX file is fed its data and then seven EOLs, so that the six-EOL rule ends
// it. Whatever state the page's last bits left the recogniser in, six EOLs must follow in a row.
TEST(RunRecogniser, ThePageTrailerEndsAPageFromEveryState) {
  const auto& tables = RecogniserTables::Get();
  for (const auto& state : tables.states) {
    ReferenceRecogniser r;
    if (state.lost) {
      r.Set(static_cast<uint16_t>(1u << state.zeros), 20, state.colour);
    } else {
      r.Set(state.bits, state.length, state.colour);
    }
    for (bool lastWasEol : {false, true}) {
      int run = lastWasEol ? -1 : 0;
      bool last = lastWasEol;
      bool ended = false;
      ReferenceRecogniser copy = r;
      for (uint8_t byte : bfx::kPageTrailer) {
        for (int k = 0; k < 8 && !ended; ++k) {
          const RecognisedBit got = copy.Feed((byte >> k) & 1);
          if (got.event == BitEvent::CodeWord) last = false;
          if (got.event == BitEvent::Eol) {
            run = last ? run + 1 : 1;
            last = true;
            ended = run >= 6;
          }
        }
      }
      EXPECT_TRUE(ended) << "state colour " << int(state.colour) << " lost " << state.lost
                         << " length " << int(state.length) << " zeros " << int(state.zeros);
    }
  }
}

}  // namespace
}  // namespace faxconv
