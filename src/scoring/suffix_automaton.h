// The longest common block of two texts in time linear in their lengths, with the same
// choice among equally long blocks as the plain scan: lowest start in the first text, then
// lowest start in the second.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

#include "scoring/buffer.h"
#include "scoring/cancellation.h"
#include "scoring/match_block.h"

namespace scoring {

// An automaton of the substrings of the shorter text, scanned with the other. Keeps its
// storage between calls, so one object serves a whole count without reallocating. Symbols
// are bytes (the score's codes) or 32-bit ids (any other elements, numbered from 0).
template <typename Symbol>
class SuffixAutomaton {
 public:
  // Both texts at most INT32_MAX long; no common block is longer than `bound` (the scan ends
  // at the first block that long it can take). Throws std::bad_alloc when the memory is not
  // there, and Cancelled when `check` finds the work cancelled.
  MatchBlock EarliestLongestBlock(std::span<const Symbol> first, std::span<const Symbol> second,
                                  uint32_t bound, CancelCheck& check);

  // Whether the last call's automaton had dense states (cheaper by the character).
  bool WasDense() const { return dense_; }

  // Gives back the storage kept from earlier calls.
  void Release();

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr bool kBytes = sizeof(Symbol) == 1;

  static constexpr uint32_t kInline = 2;  // most states have one or two edges

  struct Edge {
    uint32_t target;
    uint32_t symbol;
  };
  // A state's edges: at most 256 for bytes, any number for ids.
  using Degree = std::conditional_t<kBytes, uint16_t, uint32_t>;
  // 32 bytes for bytes: a lookup on most states reads one cache line and nothing else.
  struct State {
    uint32_t length;    // longest substring of the state
    uint32_t link;      // state of its longest proper suffix in another state
    uint32_t firstEnd;  // lowest end position of the state's substrings in the text
    Degree degree;
    Degree capacity;  // of its edges in edges_, beyond the inline ones
    uint32_t edges;   // where those are
    Symbol symbols[kInline];
    uint32_t targets[kInline];
  };

  // Ids: a state may have as many edges as there are distinct elements, and a scan of them
  // at each step would make the work grow with their number. Past kScanned further edges, a
  // state's further edges are found through a hash table by (state, symbol) instead, which
  // holds their places among its further edges. Entries of earlier builds are stale.
  static constexpr uint32_t kScanned = 64;
  struct IndexedEdge {
    uint64_t key;  // state << 32 | symbol
    uint32_t offset;
    uint32_t build;
  };
  uint32_t* FindIndexed(uint32_t state, Symbol symbol);
  void IndexEdge(uint32_t state, Symbol symbol, uint32_t offset);

  void Build(std::span<const Symbol> text, CancelCheck& check);
  // The scan of the other text, with step(state, length, symbol) and firstEnd(state).
  template <typename StepFn, typename FirstEndFn>
  static MatchBlock Scan(std::span<const Symbol> first, std::span<const Symbol> second,
                         bool scanFirst, uint32_t bound, CancelCheck& check, StepFn step,
                         FirstEndFn firstEnd);
  uint32_t* Find(uint32_t state, Symbol symbol);
  void AddEdge(uint32_t state, Symbol symbol, uint32_t target);
  // Gives a state whose further edges fill their room twice as much, at the end of edges_.
  void MoveEdges(State& s);
  // Follows `symbol` from (state, length), shortening the match as needed.
  void Step(uint32_t& state, uint32_t& length, Symbol symbol);
  uint32_t NewState(uint32_t length, uint32_t link, uint32_t firstEnd);

  std::vector<State> states_;
  // Further edges of a state side by side; a state that outgrows its room moves to the end
  // with twice as much.
  std::vector<Edge> edges_;
  std::vector<uint8_t> edgeSymbols_;  // bytes: their symbols too, for a scan a word at a time
  std::size_t used_ = 0;              // slots of edges_ handed out
  // The start state is left most often, so its edges are a direct table by symbol (0: none,
  // as the start state is never a target): for ids, as long as the largest id met, and
  // cleared entry by entry, as a text may use few of many ids.
  std::conditional_t<kBytes, std::array<uint32_t, 256>, std::vector<uint32_t>> root_{};
  std::vector<Symbol> rootSymbols_;     // ids with an entry in root_
  std::vector<IndexedEdge> edgeIndex_;  // ids only; a power of two long, at most half full
  std::size_t indexed_ = 0;
  uint32_t build_ = 0;

  // Bytes of texts over at most kDenseSymbols distinct codes (runs of two letters, DNA): each
  // state holds a target for every code of the text, numbered from 0 as first met, so that a
  // step is one load and the build has no edge lists to search or grow: 20 bytes a state for
  // two codes, 28 for four, and less than half the instructions of the edge lists a character.
  static constexpr uint32_t kDenseSymbols = 4;
  static constexpr uint8_t kNoCode = 0xFF;
  template <uint32_t kWidth>
  struct DenseState {
    uint32_t length;
    uint32_t link;
    uint32_t firstEnd;
    uint32_t next[kWidth];  // 0: none, as the start state is never a target
  };
  // Numbers the text's codes in denseCode_; false (some numbered) if it has more than fit.
  bool NumberDenseCodes(std::span<const uint8_t> text, CancelCheck& check);
  // EarliestLongestBlock through dense states of kWidth targets, at least the codes numbered.
  template <uint32_t kWidth>
  MatchBlock DenseBlock(std::span<const Symbol> first, std::span<const Symbol> second,
                        bool scanFirst, uint32_t bound, Buffer<DenseState<kWidth>>& states,
                        CancelCheck& check);
  static constexpr std::array<uint8_t, 256> NoCodes() {
    std::array<uint8_t, 256> codes{};
    codes.fill(kNoCode);
    return codes;
  }
  Buffer<DenseState<2>> twoCodeStates_;  // written before they are read
  Buffer<DenseState<kDenseSymbols>> denseStates_;
  std::array<uint8_t, 256> denseCode_ = NoCodes();   // by byte: its number, or kNoCode
  std::array<uint8_t, kDenseSymbols> denseBytes_{};  // the bytes numbered
  uint32_t denseSymbols_ = 0;
  bool dense_ = false;
};

extern template class SuffixAutomaton<uint8_t>;
extern template class SuffixAutomaton<uint32_t>;

}  // namespace scoring
