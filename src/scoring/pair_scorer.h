// NameMatchScore for many pairs in a row, as the command-line scorer's batch mode needs: the
// same result (or the same runtime error) for every pair, without an allocation per pair.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/text_services.h"

namespace scoring {

// One per thread: it keeps what the text services said about each code unit, and its code
// buffers, from one pair to the next.
class PairScorer {
 public:
  explicit PairScorer(const runtime::TextServices& text);

  // Module1::NameMatchScore(first, second, text).
  double Score(std::u16string_view first, std::u16string_view second);

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

  const Unit& Lookup(char16_t unit) {
    Unit& entry = units_[unit];
    if (entry.state == kUnknown) [[unlikely]]
      Learn(unit, entry);
    return entry;
  }
  void Learn(char16_t unit, Unit& entry) const;
  bool EqualOnceUpperCased(std::u16string_view first, std::u16string_view second);
  // The text's codes, in `codes`.
  std::span<const uint8_t> FillCodes(std::vector<uint8_t>& codes, std::u16string_view text);

  const runtime::TextServices& text_;
  std::vector<Unit> units_;  // indexed by code unit
  std::vector<uint8_t> codes1_;
  std::vector<uint8_t> codes2_;
};

}  // namespace scoring
