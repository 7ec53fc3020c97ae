// NameMatchScore for many pairs in a row, as the command-line scorer's batch mode needs: the
// same result (or the same runtime error) for every pair, without an allocation per pair.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/text_services.h"
#include "scoring/short_matcher.h"

namespace scoring {

// One per thread: it keeps what the text services said about each code unit, and its code
// buffers, from one pair to the next.
class PairScorer {
 public:
  explicit PairScorer(const runtime::TextServices& text);

  // Module1::NameMatchScore(first, second, text).
  double Score(std::u16string_view first, std::u16string_view second);
  // The same for texts made only of code units below 0x80, given as their bytes: ASCII, read
  // as UTF-8 without decoding it.
  double ScoreAscii(std::string_view first, std::string_view second);

  // Gives back buffers grown for long names.
  void Trim();

 private:
  // A code unit upper-cased on its own, and the ANSI code of that.
  struct Unit {
    char16_t upper;
    uint8_t code;
    uint8_t state;  // kUnknown until the services are asked, then kOneByte or kTwoBytes
  };
  enum : uint8_t { kUnknown, kOneByte, kTwoBytes };

  using Page = std::array<Unit, 256>;

  const Unit& Lookup(char16_t unit) {
    std::unique_ptr<Page>& page = pages_[unit >> 8];
    if (!page) [[unlikely]]
      page = std::make_unique<Page>();
    Unit& entry = (*page)[unit & 0xFF];
    if (entry.state == kUnknown) [[unlikely]]
      Learn(unit, entry);
    return entry;
  }
  void Learn(char16_t unit, Unit& entry) const;
  template <typename Text>
  double ScoreTexts(Text first, Text second);
  template <typename Text>
  bool EqualOnceUpperCased(Text first, Text second);
  // The text's codes, in `codes`.
  template <typename Text>
  std::span<const uint8_t> FillCodes(std::vector<uint8_t>& codes, Text text);

  const runtime::TextServices& text_;
  // By code unit, in pages of 256 made when one of their units is first met.
  std::array<std::unique_ptr<Page>, 256> pages_;
  // The codes of the units below 0x80, all asked for at the first ASCII text; used when each
  // of them has a one-byte code, as in every code page in use.
  std::array<uint8_t, 128> asciiCodes_{};
  bool asciiKnown_ = false;
  bool asciiOneByte_ = false;
  std::vector<uint8_t> codes1_;
  std::vector<uint8_t> codes2_;
  ShortMatcher short_;  // for names; longer texts go to FastMatchCount
};

}  // namespace scoring
