// The command-line scorer: the Calculate command without a window, for scripts and tests.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "runtime/runtime_error.h"
#include "runtime/text_services.h"
#include "scoring/match_block.h"

#ifndef _WIN32
#include <poll.h>
#endif

namespace pairly_score {

// Where the batch mode reads its input.
class InputSource {
 public:
  virtual ~InputSource() = default;
  // Reads up to `size` bytes: those there are, waiting only while there are none. 0 at the
  // end of the input, or when it cannot be read (Failed() then says so).
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
  // Whether a Read now would wait for the writer. The results so far are written out first,
  // so a program that sends a line and waits for its answer gets it.
  virtual bool MustWait() = 0;
  virtual bool Failed() const = 0;
};

#ifndef _WIN32
// Whether a read of a pipe or terminal may wait for its writer, from poll(2) on it with no
// timeout. A poll interrupted by a signal is asked again; one that fails otherwise answers
// "may wait", never "ready": the results so far are written first, and the read then says
// whether the input can be read. Tests pass a stand-in for the system's poll.
using PollFunction = int (*)(pollfd*, nfds_t, int);
bool ReadMayWait(int descriptor, PollFunction poll);
#endif

// A stream read to its end, such as a string or a file, which never waits.
class StreamInput : public InputSource {
 public:
  explicit StreamInput(std::istream& stream) : stream_(stream) {}
  std::size_t Read(char* buffer, std::size_t size) override;
  bool MustWait() override { return false; }
  bool Failed() const override;

 private:
  std::istream& stream_;
};

// The most threads --jobs may ask for.
inline constexpr int kMaxJobs = 256;

// What one Calculate click on these names shows, as lines: "warning: ..." for each message
// box, then result2's caption, then Result's caption. A runtime error propagates. With
// `blocks`, they receive the blocks the score counted (Module1::NameMatchScore).
std::vector<std::string> ScorePair(const std::u16string& name1, const std::u16string& name2,
                                   const runtime::TextServices& text,
                                   std::vector<scoring::MatchBlock>* blocks = nullptr);

// Reads UTF-8 lines "NAME1<TAB>NAME2" and writes "RESULT2<TAB>RESULT" for each, in input
// order, scoring large inputs on up to `jobs` threads. Stops at the first bad line (malformed
// UTF-8, no tab, a runtime error, out of memory) with a message naming it on `errors`, after
// the results of exactly the lines before it, and returns non-zero; returns 0 when every
// line was scored. When `output` fails, names the first line whose result is not known to be
// out, and stops reading and scoring.
int ScoreBatch(InputSource& input, std::ostream& output, std::ostream& errors,
               const runtime::TextServices& text, int jobs = 1);

// The scorer's wording of a runtime error, e.g. "run-time error 6: Overflow".
std::string ErrorText(runtime::ErrorKind kind);

// The whole program; `arguments` excludes the program name.
int Main(const std::vector<std::u16string>& arguments, InputSource& input, std::ostream& output,
         std::ostream& errors, const runtime::TextServices& text);

}  // namespace pairly_score
