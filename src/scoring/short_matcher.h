// The matched-character count of two whole code texts when both are short, as names are: the
// same blocks as the plain scan (Module1::CountMatches), found a machine word at a time. Each
// of the second text's positions is one bit of a 64-bit word, so all runs that start in one
// position of the first text are followed at once.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace scoring {

class ShortMatcher {
 public:
  // The longest text it takes.
  static constexpr std::size_t kLongest = 63;

  // CountMatches(1, first.size(), 1, second.size()) for texts of at most kLongest codes.
  int32_t Count(std::span<const uint8_t> first, std::span<const uint8_t> second);

 private:
  // Bit j of positions_[c]: second[j] is c. All zero between calls.
  std::array<uint64_t, 256> positions_{};
  // For the range in hand: where each code of the first text is in the second, and the runs
  // at one length and the next.
  std::array<std::array<uint64_t, kLongest>, 3> runs_;
};

}  // namespace scoring
