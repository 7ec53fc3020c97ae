// The name match score: a case-insensitive similarity of two names, the matched-character
// count of the longest-common-block decomposition (Ratcliff/Obershelp), scaled as 5K/(L1+L2).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "runtime/byte_array.h"
#include "runtime/text_services.h"
#include "scoring/cancellation.h"
#include "scoring/match_block.h"

namespace Module1 {

// The upper-cased ANSI codes of the two names, filled only while NameMatchScore runs and
// empty between calls. CountMatches reads them directly.
extern runtime::ByteArray Codes1;
extern runtime::ByteArray Codes2;

// 1.0 for names equal after upper-casing, 0.0 when exactly one is empty, otherwise
// 5K/(L1+L2) with K the matched-character count. Raises a runtime error (leaving the code
// arrays empty) when a character's ANSI form is two bytes or a count overflows.
//
// Cancelling: a long score (millions of characters take seconds) can run on a thread of its
// own while the thread that started it holds `cancellation`. Once Cancel() is called there,
// the score stops at its next look at the flag and throws scoring::Cancelled, which is not a
// runtime error (nothing is to be reported), with both code arrays empty and everything it
// allocated freed. It looks at the start, and then after a bounded amount of work in every
// part of it (upper-casing, filling the codes, the matcher's index, automaton, searches, ranges
// and plain scan): a few milliseconds, whatever the input. Without a cancellation it never
// looks. The code arrays are shared: two scores must still never overlap.
//
// With `blocks`, they receive the blocks counted (see CountMatches): none for names equal
// once upper-cased or an empty name, whose scores need no count.
double NameMatchScore(std::u16string_view first, std::u16string_view second,
                      const runtime::TextServices& text = runtime::SystemTextServices(),
                      const scoring::Cancellation* cancellation = nullptr,
                      std::vector<scoring::MatchBlock>* blocks = nullptr);

// The number of matched characters between Codes1(start1..end1) and Codes2(start2..end2):
// the longest common block (the first one found scanning i, then j, upward), plus the
// matches to its right, plus those to its left. Only valid while the arrays are filled.
// Counts texts of any length in near-linear time (scoring/fast_matcher.h), with the results
// of the plain scan. Stops with scoring::Cancelled as NameMatchScore does. With `blocks`,
// they receive the blocks counted, 0-based in the arrays, in the order of their starts.
int32_t CountMatches(int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                     const scoring::Cancellation* cancellation = nullptr,
                     std::vector<scoring::MatchBlock>* blocks = nullptr);

}  // namespace Module1
