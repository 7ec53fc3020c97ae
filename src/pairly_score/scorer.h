// The command-line scorer: the Calculate command without a window, for scripts and tests.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "runtime/text_services.h"

namespace pairly_score {

// What one Calculate click on these names shows, as lines: "warning: ..." for each message
// box, then result2's caption, then Result's caption. A runtime error propagates.
std::vector<std::string> ScorePair(const std::u16string& name1, const std::u16string& name2,
                                   const runtime::TextServices& text);

// Reads UTF-8 lines "NAME1<TAB>NAME2" and writes "RESULT2<TAB>RESULT" for each. Stops at the
// first bad line (malformed UTF-8, no tab, or a runtime error) with a message naming it on
// `errors`, and returns non-zero; returns 0 when every line was scored.
int ScoreBatch(std::istream& input, std::ostream& output, std::ostream& errors,
               const runtime::TextServices& text);

// The whole program; `arguments` excludes the program name.
int Main(const std::vector<std::u16string>& arguments, std::istream& input, std::ostream& output,
         std::ostream& errors, const runtime::TextServices& text);

}  // namespace pairly_score
