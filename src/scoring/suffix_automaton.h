// The longest common block of two texts in time linear in their lengths, with the same
// choice among equally long blocks as the plain scan: lowest start in the first text, then
// lowest start in the second.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace scoring {

// A common block: 0-based starts in the first and second text, and its length (0 if none).
struct MatchBlock {
  int32_t start1 = 0;
  int32_t start2 = 0;
  int32_t length = 0;
};

// An automaton of the second text's substrings, scanned with the first text. Keeps its
// storage between calls, so one object serves a whole count without reallocating.
class SuffixAutomaton {
 public:
  // Both texts at most INT32_MAX long.
  MatchBlock EarliestLongestBlock(std::span<const uint8_t> first, std::span<const uint8_t> second);

 private:
  static constexpr uint32_t kNone = UINT32_MAX;

  struct State {
    uint32_t length;     // longest substring of the state
    uint32_t link;       // state of its longest proper suffix in another state
    uint32_t first_end;  // lowest end position of the state's substrings in the text
    uint32_t edges;      // first outgoing edge (state 0's are in root_)
  };
  struct Edge {
    uint32_t target;
    uint32_t next;
    uint8_t symbol;
  };

  void Build(std::span<const uint8_t> text);
  uint32_t* Find(uint32_t state, uint8_t symbol);
  void AddEdge(uint32_t state, uint8_t symbol, uint32_t target);

  std::vector<State> states_;
  std::vector<Edge> edges_;
  // The start state is left most often, so its edges are a direct table (0: none, as the
  // start state is never a target).
  std::array<uint32_t, 256> root_{};
};

}  // namespace scoring
