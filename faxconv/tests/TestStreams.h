// Small builders for the tests' fixtures: T.4 code streams, BFX files and TIFF files, made
// byte by byte so each test shows exactly what its input holds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "faxconv/BfxFormat.h"
#include "faxconv/RunRecogniser.h"
#include "faxconv/T4Codes.h"

namespace faxconv::testing {

// A code stream, bit by bit in transmission order.
class StreamBuilder {
 public:
  // Code words for runs of alternating colour, starting white (a make-up code and a
  // terminating code for runs of 64 or more).
  StreamBuilder& Runs(std::initializer_list<uint32_t> runs) { return Runs(std::vector(runs)); }
  StreamBuilder& Runs(const std::vector<uint32_t>& runs) {
    Colour colour = Colour::White;
    for (uint32_t run : runs) {
      if (run >= 64) Code(colour, run / 64 * 64);
      Code(colour, run % 64);
      colour = colour == Colour::White ? Colour::Black : Colour::White;
    }
    return *this;
  }
  StreamBuilder& WhiteLine() { return Runs({kLineWidth}); }
  StreamBuilder& Code(Colour colour, uint32_t run) {
    const T4Code* code = FindCode(colour, run);
    if (code == nullptr) throw std::logic_error("no such run length");
    for (int k = code->length - 1; k >= 0; --k) bits_.push_back((code->bits >> k) & 1);
    return *this;
  }
  StreamBuilder& Eol() { return Bits("000000000001"); }
  StreamBuilder& Eols(int n) {
    for (int i = 0; i < n; ++i) Eol();
    return *this;
  }
  StreamBuilder& Zeros(std::size_t n) {
    bits_.insert(bits_.end(), n, false);
    return *this;
  }
  StreamBuilder& Bits(std::string_view pattern) {
    for (char c : pattern) bits_.push_back(c == '1');
    return *this;
  }
  StreamBuilder& AlignToByte() {
    while (bits_.size() % 8 != 0) bits_.push_back(false);
    return *this;
  }
  [[nodiscard]] std::size_t size() const { return bits_.size(); }

  // Packed into bytes (a last partial byte is filled with 0 bits).
  [[nodiscard]] std::vector<uint8_t> Bytes(BitOrder order = BitOrder::LsbFirst) const {
    std::vector<uint8_t> out((bits_.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < bits_.size(); ++i) {
      if (!bits_[i]) continue;
      const unsigned k = order == BitOrder::LsbFirst ? i % 8 : 7 - i % 8;
      out[i / 8] = static_cast<uint8_t>(out[i / 8] | 1u << k);
    }
    return out;
  }

 private:
  std::vector<bool> bits_;
};

inline void PutLe32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4, 0);
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

inline uint32_t GetLe32(const std::vector<uint8_t>& b, std::size_t at) {
  return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
         static_cast<uint32_t>(b.at(at + 3)) << 24;
}
inline uint16_t GetLe16(const std::vector<uint8_t>& b, std::size_t at) {
  return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

// A BFX file with the given pages laid out one after another from offset 2048.
inline std::vector<uint8_t> MakeBfx(const std::vector<std::vector<uint8_t>>& pages,
                                    bool fine = false) {
  std::vector<uint8_t> file(bfx::kDataOffset, 0);
  std::copy(bfx::kSignature.begin(), bfx::kSignature.end(), file.begin());
  file[bfx::kPageCountOffset] = static_cast<uint8_t>(pages.size());
  if (fine) file[bfx::kFlagsOffset] = bfx::kFineFlag;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    PutLe32(file, bfx::kDirectoryOffset + 16 * p + 4, static_cast<uint32_t>(pages[p].size()));
    PutLe32(file, bfx::kDirectoryOffset + 16 * p + 8, static_cast<uint32_t>(file.size()));
    file.insert(file.end(), pages[p].begin(), pages[p].end());
  }
  return file;
}

// A TIFF of one-strip (or many-strip) pages in either byte order, with the tags a test asks
// for. Entries are written sorted by tag; strips first, then each IFD.
class TiffBuilder {
 public:
  explicit TiffBuilder(bool bigEndian = false) : big_(bigEndian) {
    bytes_ = {static_cast<uint8_t>(big_ ? 'M' : 'I'), static_cast<uint8_t>(big_ ? 'M' : 'I')};
    Put16(42);
    Put32(0);
  }

  struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;  // a SHORT goes in the first two bytes
  };

  // A page whose strips are the given byte strings; `extra` tags are added as given.
  // Compression 3 and FillOrder are included unless overridden by an extra tag of that number.
  TiffBuilder& Page(const std::vector<std::vector<uint8_t>>& strips,
                    std::vector<Entry> extra = {}) {
    std::vector<uint32_t> offsets, lengths;
    for (const auto& s : strips) {
      offsets.push_back(static_cast<uint32_t>(bytes_.size()));
      lengths.push_back(static_cast<uint32_t>(s.size()));
      bytes_.insert(bytes_.end(), s.begin(), s.end());
    }
    std::vector<Entry> entries = std::move(extra);
    auto has = [&](uint16_t tag) {
      for (auto& e : entries)
        if (e.tag == tag) return true;
      return false;
    };
    if (!has(259)) entries.push_back({259, 3, 1, 3});
    auto array = [&](const std::vector<uint32_t>& v) -> uint32_t {
      if (v.size() == 1) return v[0];
      const auto at = static_cast<uint32_t>(bytes_.size());
      for (uint32_t x : v) Put32(x);
      return at;
    };
    if (!has(273))
      entries.push_back({273, 4, static_cast<uint32_t>(offsets.size()), array(offsets)});
    if (!has(279))
      entries.push_back({279, 4, static_cast<uint32_t>(lengths.size()), array(lengths)});
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.tag < b.tag; });
    const auto ifd = static_cast<uint32_t>(bytes_.size());
    SetAt(lastNext_, ifd);
    Put16(static_cast<uint16_t>(entries.size()));
    for (const Entry& e : entries) {
      Put16(e.tag);
      Put16(e.type);
      Put32(e.count);
      if (e.type == 3 && e.count <= 2) {
        Put16(static_cast<uint16_t>(e.value));
        Put16(static_cast<uint16_t>(e.value >> 16));
      } else {
        Put32(e.value);
      }
    }
    lastNext_ = bytes_.size();
    Put32(0);
    return *this;
  }

  // Appends a RATIONAL and returns its offset, for YResolution entries.
  uint32_t Rational(uint32_t n, uint32_t d) {
    const auto at = static_cast<uint32_t>(bytes_.size());
    Put32(n);
    Put32(d);
    return at;
  }
  // Points the last IFD's next field somewhere (for loops and bad offsets).
  TiffBuilder& SetLastNext(uint32_t offset) {
    SetAt(lastNext_, offset);
    return *this;
  }
  [[nodiscard]] std::size_t lastNextField() const { return lastNext_; }
  [[nodiscard]] const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  void Put16(uint16_t v) {
    if (big_) {
      bytes_.push_back(static_cast<uint8_t>(v >> 8));
      bytes_.push_back(static_cast<uint8_t>(v));
    } else {
      bytes_.push_back(static_cast<uint8_t>(v));
      bytes_.push_back(static_cast<uint8_t>(v >> 8));
    }
  }
  void Put32(uint32_t v) {
    if (big_) {
      Put16(static_cast<uint16_t>(v >> 16));
      Put16(static_cast<uint16_t>(v));
    } else {
      Put16(static_cast<uint16_t>(v));
      Put16(static_cast<uint16_t>(v >> 16));
    }
  }
  void SetAt(std::size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) {
      bytes_[at + k] = static_cast<uint8_t>(big_ ? v >> (24 - 8 * k) : v >> (8 * k));
    }
  }

  bool big_;
  std::vector<uint8_t> bytes_;
  std::size_t lastNext_ = 4;
};

// A fresh directory for one test's files.
inline std::filesystem::path FreshDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "faxconv-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace faxconv::testing
