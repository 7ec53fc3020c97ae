#include "scoring/suffix_automaton.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "scoring/buffer.h"

namespace scoring {

// Find and Step are inlined by force: as calls to a template's members, which the compiler
// must treat as replaceable, they save more registers than the scan's steps themselves take.
template <typename Symbol>
[[gnu::always_inline]] inline uint32_t* SuffixAutomaton<Symbol>::Find(uint32_t state,
                                                                      Symbol symbol) {
  if (state == 0) {
    if constexpr (!kBytes) {
      if (symbol >= root_.size()) return nullptr;
    }
    return root_[symbol] != 0 ? &root_[symbol] : nullptr;
  }
  State& s = states_[state];
  const uint32_t inlineCount = std::min<uint32_t>(s.degree, kInline);
  for (uint32_t e = 0; e < inlineCount; ++e) {
    if (s.symbols[e] == symbol) return &s.targets[e];
  }
  if constexpr (!kBytes) {
    if (s.degree > kInline + kScanned) return FindIndexed(state, symbol);
  }
  if (s.degree <= kInline) return nullptr;
  const uint32_t further = s.degree - kInline;
  if constexpr (kBytes && std::endian::native == std::endian::little) {
    // Eight symbols at a time: the lowest byte equal to the symbol is the lowest byte of their
    // difference flagged here (a borrow only runs upwards from a zero byte). Slots past the
    // state's own edges may match too, and are not taken.
    constexpr uint64_t kOnes = 0x0101010101010101u;
    const uint64_t pattern = kOnes * symbol;
    const uint8_t* const symbols = edgeSymbols_.data() + s.edges;
    for (uint32_t e = 0; e < further; e += 8) {
      uint64_t word;
      std::memcpy(&word, symbols + e, sizeof word);
      word ^= pattern;
      const uint64_t zero = (word - kOnes) & ~word & (kOnes << 7);
      if (zero != 0) {
        const uint32_t at = e + static_cast<uint32_t>(std::countr_zero(zero)) / 8;
        return at < further ? &edges_[s.edges + at].target : nullptr;
      }
    }
    return nullptr;
  }
  const uint32_t wanted = symbol;  // widened once, not at each edge
  for (Edge *edge = edges_.data() + s.edges, *end = edge + further; edge != end; ++edge) {
    if (edge->symbol == wanted) return &edge->target;
  }
  return nullptr;
}

namespace {

std::size_t Home(uint64_t key, std::size_t slots) {
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> 32) & (slots - 1);
}

}  // namespace

template <typename Symbol>
uint32_t* SuffixAutomaton<Symbol>::FindIndexed(uint32_t state, Symbol symbol) {
  const uint64_t key = uint64_t{state} << 32 | symbol;
  for (std::size_t at = Home(key, edgeIndex_.size());; at = (at + 1) & (edgeIndex_.size() - 1)) {
    const IndexedEdge& slot = edgeIndex_[at];
    if (slot.build != build_) return nullptr;
    if (slot.key == key) return &edges_[states_[state].edges + slot.offset].target;
  }
}

template <typename Symbol>
void SuffixAutomaton<Symbol>::IndexEdge(uint32_t state, Symbol symbol, uint32_t offset) {
  if (2 * (indexed_ + 1) > edgeIndex_.size()) {
    std::vector<IndexedEdge> old;
    ResizeOrThrow(old, std::max<uint64_t>(1024, 2 * static_cast<uint64_t>(edgeIndex_.size())));
    old.swap(edgeIndex_);
    indexed_ = 0;
    for (const IndexedEdge& slot : old) {
      if (slot.build == build_) {
        IndexEdge(static_cast<uint32_t>(slot.key >> 32), static_cast<Symbol>(slot.key),
                  slot.offset);
      }
    }
  }
  const uint64_t key = uint64_t{state} << 32 | symbol;
  std::size_t at = Home(key, edgeIndex_.size());
  while (edgeIndex_[at].build == build_) at = (at + 1) & (edgeIndex_.size() - 1);
  edgeIndex_[at] = {key, offset, build_};
  ++indexed_;
}

template <typename Symbol>
void SuffixAutomaton<Symbol>::MoveEdges(State& s) {
  const auto capacity = static_cast<Degree>(s.capacity == 0 ? 2 : 2 * s.capacity);
  // Under 6n slots in all, but n may come close to 2^31: refuse rather than wrap.
  if (static_cast<uint64_t>(used_) + capacity >= kNone) throw std::bad_alloc();
  const auto moved = static_cast<uint32_t>(used_);
  used_ += capacity;
  if (used_ > edges_.size()) {
    ResizeOrThrow(edges_, 2 * static_cast<uint64_t>(used_));
    // A word read past the last slot stays inside.
    if constexpr (kBytes) ResizeOrThrow(edgeSymbols_, edges_.size() + 8);
  }
  const uint32_t outside = s.degree - kInline;
  std::copy_n(edges_.begin() + s.edges, outside, edges_.begin() + moved);
  if constexpr (kBytes) {
    std::copy_n(edgeSymbols_.begin() + s.edges, outside, edgeSymbols_.begin() + moved);
  }
  s.edges = moved;
  s.capacity = capacity;
}

// AddEdge and NewState are inlined by force too: the build calls them for most characters.
template <typename Symbol>
[[gnu::always_inline]] inline void SuffixAutomaton<Symbol>::AddEdge(uint32_t state, Symbol symbol,
                                                                    uint32_t target) {
  if (state == 0) {
    if constexpr (!kBytes) {
      if (symbol >= root_.size()) {
        ResizeOrThrow(root_, std::max<uint64_t>(uint64_t{symbol} + 1, 2 * root_.size()));
      }
      rootSymbols_.push_back(symbol);
    }
    root_[symbol] = target;
    return;
  }
  State& s = states_[state];
  if (s.degree < kInline) {
    s.symbols[s.degree] = symbol;
    s.targets[s.degree] = target;
    ++s.degree;
    return;
  }
  const uint32_t outside = s.degree - kInline;
  if (outside == s.capacity) [[unlikely]]
    MoveEdges(s);
  edges_[s.edges + outside] = {target, symbol};
  if constexpr (kBytes) edgeSymbols_[s.edges + outside] = symbol;
  ++s.degree;
  if constexpr (!kBytes) {
    if (outside == kScanned) {
      for (uint32_t e = 0; e < kScanned; ++e) IndexEdge(state, edges_[s.edges + e].symbol, e);
    }
    if (outside >= kScanned) IndexEdge(state, symbol, outside);
  }
}

template <typename Symbol>
[[gnu::always_inline]] inline uint32_t SuffixAutomaton<Symbol>::NewState(uint32_t length,
                                                                         uint32_t link,
                                                                         uint32_t firstEnd) {
  State state{};
  state.length = length;
  state.link = link;
  state.firstEnd = firstEnd;
  states_.push_back(state);
  return static_cast<uint32_t>(states_.size() - 1);
}

template <typename Symbol>
void SuffixAutomaton<Symbol>::Build(std::span<const Symbol> text, CancelCheck& check) {
  states_.clear();
  used_ = 0;
  if constexpr (kBytes) {
    root_.fill(0);
  } else {
    for (const Symbol symbol : rootSymbols_) root_[symbol] = 0;
    rootSymbols_.clear();
    // A new build number makes every entry stale; once the numbers come round, a clean table.
    if (++build_ == 0) {
      std::vector<IndexedEdge>().swap(edgeIndex_);
      build_ = 1;
    }
    indexed_ = 0;
  }
  // At most 2n states, numbered below kNone.
  const uint64_t states = 2 * static_cast<uint64_t>(text.size()) + 1;
  if (states >= kNone) throw std::bad_alloc();
  ReserveOrThrow(states_, states);
  NewState(0, kNone, 0);
  uint32_t last = 0;
  // Inlined by force, for the same reason as Find.
  check.ForEach(
      std::size_t{0}, text.size(),
      WorkStage::kAutomaton, [&](std::size_t position) __attribute__((always_inline)) {
        const Symbol symbol = text[position];
        const uint32_t current =
            NewState(states_[last].length + 1, 0, static_cast<uint32_t>(position));
        uint32_t state = last;
        uint32_t* edge = nullptr;
        while (state != kNone && (edge = Find(state, symbol)) == nullptr) {
          AddEdge(state, symbol, current);
          state = states_[state].link;
        }
        last = current;
        if (state == kNone) return;  // link stays the start state

        const uint32_t next = *edge;
        if (states_[state].length + 1 == states_[next].length) {
          states_[current].link = next;
          return;
        }
        // Split: a copy of `next` for the shorter substrings, sharing its first occurrence.
        const uint32_t clone =
            NewState(states_[state].length + 1, states_[next].link, states_[next].firstEnd);
        for (uint32_t e = 0; e < states_[next].degree; ++e) {
          const State& from = states_[next];
          if (e < kInline) {
            AddEdge(clone, from.symbols[e], from.targets[e]);
          } else {
            const Edge copied = edges_[from.edges + e - kInline];
            AddEdge(clone, static_cast<Symbol>(copied.symbol), copied.target);
          }
        }
        while (state != kNone && (edge = Find(state, symbol)) != nullptr && *edge == next) {
          *edge = clone;
          state = states_[state].link;
        }
        states_[next].link = clone;
        states_[current].link = clone;
      });
}

template <typename Symbol>
[[gnu::always_inline]] inline void SuffixAutomaton<Symbol>::Step(uint32_t& state, uint32_t& length,
                                                                 Symbol symbol) {
  uint32_t* edge;
  while ((edge = Find(state, symbol)) == nullptr && state != 0) {
    state = states_[state].link;
    length = states_[state].length;
  }
  if (edge != nullptr) {
    state = *edge;
    ++length;
  } else {
    length = 0;
  }
}

template <typename Symbol>
void SuffixAutomaton<Symbol>::Release() {
  std::vector<State>().swap(states_);
  std::vector<Edge>().swap(edges_);
  std::vector<uint8_t>().swap(edgeSymbols_);
  used_ = 0;
  Buffer<DenseState<2>>().swap(twoCodeStates_);
  Buffer<DenseState<kDenseSymbols>>().swap(denseStates_);
  if constexpr (!kBytes) {
    std::vector<uint32_t>().swap(root_);
    std::vector<Symbol>().swap(rootSymbols_);
    std::vector<IndexedEdge>().swap(edgeIndex_);
    indexed_ = 0;
  }
}

template <typename Symbol>
bool SuffixAutomaton<Symbol>::NumberDenseCodes(std::span<const uint8_t> text, CancelCheck& check) {
  for (uint32_t c = 0; c < denseSymbols_; ++c) denseCode_[denseBytes_[c]] = kNoCode;
  denseSymbols_ = 0;
  return check.ForEachWhile(std::size_t{0}, text.size(), WorkStage::kAutomaton,
                            [&](std::size_t position) {
                              const uint8_t byte = text[position];
                              if (denseCode_[byte] != kNoCode) return true;
                              if (denseSymbols_ == kDenseSymbols) return false;
                              denseBytes_[denseSymbols_] = byte;
                              denseCode_[byte] = static_cast<uint8_t>(denseSymbols_++);
                              return true;
                            });
}

template <typename Symbol>
template <uint32_t kWidth>
MatchBlock SuffixAutomaton<Symbol>::DenseBlock(std::span<const Symbol> first,
                                               std::span<const Symbol> second, bool scanFirst,
                                               uint32_t bound, Buffer<DenseState<kWidth>>& states,
                                               CancelCheck& check) {
  const std::span<const Symbol> text = scanFirst ? second : first;
  const uint64_t count = 2 * static_cast<uint64_t>(text.size()) + 1;
  if (count >= kNone) throw std::bad_alloc();
  // What the array held is not kept: a larger one is had afresh rather than copied into.
  if (states.size() < count) {
    Buffer<DenseState<kWidth>>().swap(states);
    ResizeOrThrow(states, count);
  }
  DenseState<kWidth>* const state = states.data();
  state[0] = {0, kNone, 0, {}};
  uint32_t made = 1;
  uint32_t last = 0;
  // The same construction as Build, state for state, so that the states' first ends are the
  // same too.
  check.ForEach(
      std::size_t{0}, text.size(),
      WorkStage::kAutomaton, [&](std::size_t position) __attribute__((always_inline)) {
        const uint32_t code = denseCode_[text[position]];
        const uint32_t current = made++;
        state[current] = {state[last].length + 1, 0, static_cast<uint32_t>(position), {}};
        uint32_t from = last;
        last = current;
        while (state[from].next[code] == 0) {
          state[from].next[code] = current;
          from = state[from].link;
          if (from == kNone) return;  // link stays the start state
        }
        const uint32_t next = state[from].next[code];
        if (state[from].length + 1 == state[next].length) {
          state[current].link = next;
          return;
        }
        const uint32_t clone = made++;
        state[clone] = state[next];
        state[clone].length = state[from].length + 1;
        do {
          state[from].next[code] = clone;
          from = state[from].link;
        } while (from != kNone && state[from].next[code] == next);
        state[next].link = clone;
        state[current].link = clone;
      });

  return Scan(
      first, second, scanFirst, bound, check,
      [&](uint32_t & at, uint32_t & length, uint8_t symbol) __attribute__((always_inline)) {
        const uint32_t code = denseCode_[symbol];
        if (code == kNoCode) {  // in no block
          at = 0;
          length = 0;
          return;
        }
        while (state[at].next[code] == 0 && at != 0) {
          at = state[at].link;
          length = state[at].length;
        }
        const uint32_t target = state[at].next[code];
        at = target;
        length = target != 0 ? length + 1 : 0;
      },
      [&](uint32_t at) { return state[at].firstEnd; });
}

template <typename Symbol>
template <typename StepFn, typename FirstEndFn>
MatchBlock SuffixAutomaton<Symbol>::Scan(std::span<const Symbol> first,
                                         std::span<const Symbol> second, bool scanFirst,
                                         uint32_t bound, CancelCheck& check, StepFn step,
                                         FirstEndFn firstEnd) {
  MatchBlock best;
  const auto limit =
      static_cast<uint32_t>(std::min<std::size_t>({first.size(), second.size(), bound}));
  // After each symbol of the scanned text, `length` is the longest block ending there that
  // occurs in the automaton's text, and `state` holds it; the state's first occurrence is
  // that block's lowest start in the automaton's text.
  uint32_t state = 0;
  uint32_t length = 0;

  if (scanFirst) {
    // Scanning the first text: the first end position reaching the greatest length is the
    // lowest start there, and the state gives the lowest start in the second.
    check.ForEachWhile(std::size_t{0}, first.size(), WorkStage::kAutomaton,
                       [&](std::size_t position) {
                         step(state, length, first[position]);
                         if (length <= static_cast<uint32_t>(best.length)) return true;
                         best.length = static_cast<int32_t>(length);
                         best.start1 = static_cast<int32_t>(position + 1 - length);
                         best.start2 = static_cast<int32_t>(firstEnd(state) + 1 - length);
                         return length < limit;  // nothing longer can exist
                       });
    return best;
  }

  // Scanning the second text: every longest block shows up at each of its ends there, as
  // its lowest start in the first text; keep the lowest such start, first seen.
  check.ForEachWhile(std::size_t{0}, second.size(), WorkStage::kAutomaton,
                     [&](std::size_t position) {
                       step(state, length, second[position]);
                       if (length == 0 || length < static_cast<uint32_t>(best.length)) return true;
                       const auto start1 = static_cast<int32_t>(firstEnd(state) + 1 - length);
                       if (length == static_cast<uint32_t>(best.length) && start1 >= best.start1) {
                         return true;
                       }
                       best.length = static_cast<int32_t>(length);
                       best.start1 = start1;
                       best.start2 = static_cast<int32_t>(position + 1 - length);
                       // Nothing longer or earlier can exist.
                       return !(length == limit && start1 == 0);
                     });
  return best;
}

template <typename Symbol>
MatchBlock SuffixAutomaton<Symbol>::EarliestLongestBlock(std::span<const Symbol> first,
                                                         std::span<const Symbol> second,
                                                         uint32_t bound, CancelCheck& check) {
  dense_ = false;
  if (first.empty() || second.empty()) return {};
  // The automaton of the shorter text, scanned with the other.
  const bool scanFirst = second.size() <= first.size();
  const std::span<const Symbol> built = scanFirst ? second : first;
  if constexpr (kBytes) {
    if (NumberDenseCodes(built, check)) {
      dense_ = true;
      return denseSymbols_ <= 2 ? DenseBlock(first, second, scanFirst, bound, twoCodeStates_, check)
                                : DenseBlock(first, second, scanFirst, bound, denseStates_, check);
    }
  }
  Build(built, check);
  return Scan(
      first, second, scanFirst, bound, check,
      [&](uint32_t & at, uint32_t & length, Symbol symbol)
          __attribute__((always_inline)) { Step(at, length, symbol); },
      [&](uint32_t at) { return states_[at].firstEnd; });
}

template class SuffixAutomaton<uint8_t>;
template class SuffixAutomaton<uint32_t>;

}  // namespace scoring
