#include "scoring/suffix_automaton.h"

#include <algorithm>
#include <new>

namespace scoring {

uint32_t* SuffixAutomaton::Find(uint32_t state, uint8_t symbol) {
  if (state == 0) return root_[symbol] != 0 ? &root_[symbol] : nullptr;
  for (uint32_t e = states_[state].edges; e != kNone; e = edges_[e].next) {
    if (edges_[e].symbol == symbol) return &edges_[e].target;
  }
  return nullptr;
}

void SuffixAutomaton::AddEdge(uint32_t state, uint8_t symbol, uint32_t target) {
  if (state == 0) {
    root_[symbol] = target;
    return;
  }
  // Fewer than 3n edges, but n may come close to 2^31: refuse rather than wrap.
  if (edges_.size() >= kNone) throw std::bad_alloc();
  edges_.push_back({target, states_[state].edges, symbol});
  states_[state].edges = static_cast<uint32_t>(edges_.size() - 1);
}

void SuffixAutomaton::Build(std::span<const uint8_t> text) {
  states_.clear();
  edges_.clear();
  root_.fill(0);
  states_.reserve(2 * text.size() + 1);
  states_.push_back({0, kNone, 0, kNone});
  uint32_t last = 0;
  for (std::size_t position = 0; position < text.size(); ++position) {
    const uint8_t symbol = text[position];
    const auto current = static_cast<uint32_t>(states_.size());
    states_.push_back({states_[last].length + 1, 0, static_cast<uint32_t>(position), kNone});
    uint32_t state = last;
    uint32_t* edge = nullptr;
    while (state != kNone && (edge = Find(state, symbol)) == nullptr) {
      AddEdge(state, symbol, current);
      state = states_[state].link;
    }
    last = current;
    if (state == kNone) continue;  // link stays the start state

    const uint32_t next = *edge;
    if (states_[state].length + 1 == states_[next].length) {
      states_[current].link = next;
      continue;
    }
    // Split: a copy of `next` for the shorter substrings, sharing its first occurrence.
    const auto clone = static_cast<uint32_t>(states_.size());
    states_.push_back({states_[state].length + 1, states_[next].link, states_[next].first_end, kNone});
    for (uint32_t e = states_[next].edges; e != kNone; e = edges_[e].next) {
      AddEdge(clone, edges_[e].symbol, edges_[e].target);
    }
    while (state != kNone && (edge = Find(state, symbol)) != nullptr && *edge == next) {
      *edge = clone;
      state = states_[state].link;
    }
    states_[next].link = clone;
    states_[current].link = clone;
  }
}

MatchBlock SuffixAutomaton::EarliestLongestBlock(std::span<const uint8_t> first,
                                                 std::span<const uint8_t> second) {
  MatchBlock best;
  if (first.empty() || second.empty()) return best;
  Build(second);
  const uint32_t limit = static_cast<uint32_t>(std::min(first.size(), second.size()));

  // After each symbol of the first text, `length` is the longest block ending there that
  // occurs in the second text, and `state` holds it. The first end position reaching the
  // greatest length is the lowest start; the state's first occurrence, the lowest start in
  // the second text of that very block.
  uint32_t state = 0;
  uint32_t length = 0;
  for (std::size_t position = 0; position < first.size(); ++position) {
    const uint8_t symbol = first[position];
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
    if (length > static_cast<uint32_t>(best.length)) {
      best.length = static_cast<int32_t>(length);
      best.start1 = static_cast<int32_t>(position + 1 - length);
      best.start2 = static_cast<int32_t>(states_[state].first_end + 1 - length);
      if (length == limit) break;  // nothing longer can exist
    }
  }
  return best;
}

}  // namespace scoring
