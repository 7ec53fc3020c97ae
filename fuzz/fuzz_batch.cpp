// The scorer's batch mode on any input: no crash, and for each well-formed line before the
// first bad one, which the error message names, the captions a click on its names shows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pairly_score/scorer.h"
#include "runtime/text.h"
#include "runtime/text_services.h"

namespace {

[[noreturn]] void Fail(const char* what, long expected, long got) {
  std::fprintf(stderr, "fuzz_batch: %s: expected %ld, got %ld\n", what, expected, got);
  std::abort();
}

// Strict UTF-8, written out here rather than borrowed from the code under test.
bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      n = 1, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      n = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;  // truncated
    for (std::size_t k = 1; k <= n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    static constexpr uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

// The lines getline reads: split at '\n', a last line without one counted if not empty.
// Each well-formed one's two names go to `names`.
long WellFormedLines(std::string_view input, bool& all,
                     std::vector<std::pair<std::string_view, std::string_view>>& names) {
  long count = 0;
  all = true;
  while (!input.empty()) {
    const std::size_t end = input.find('\n');
    std::string_view line = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || !ValidUtf8(line.substr(0, tab)) ||
        !ValidUtf8(line.substr(tab + 1))) {
      all = false;
      break;
    }
    names.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::istringstream stream(input);
  pairly_score::StreamInput in(stream);
  std::ostringstream out, err;
  const runtime::PortableTextServices text;
  const int code = pairly_score::ScoreBatch(in, out, err, text);

  bool all = false;
  std::vector<std::pair<std::string_view, std::string_view>> names;
  const long expected = WellFormedLines(input, all, names);
  const std::string output = out.str();
  long lines = 0;
  for (std::size_t start = 0; start < output.size();) {
    const std::size_t end = output.find('\n', start);
    if (end == std::string::npos) Fail("unterminated output line", 0, 1);
    const std::string_view line(output.data() + start, end - start);
    // "SCORE<TAB>PERCENT%"
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab == 0 || line.back() != '%')
      Fail("output line form", 0, lines + 1);
    // What a click on the names shows, through the window's own path.
    if (static_cast<std::size_t>(lines) < names.size()) {
      const auto& [first, second] = names[static_cast<std::size_t>(lines)];
      const std::vector<std::string> shown =
          pairly_score::ScorePair(runtime::Utf8ToUtf16(first), runtime::Utf8ToUtf16(second), text);
      if (line != shown[shown.size() - 2] + "\t" + shown.back()) Fail("captions", 0, lines + 1);
    }
    ++lines;
    start = end + 1;
  }
  if (lines != expected) Fail("output lines", expected, lines);
  if (code != (all ? 0 : 1)) Fail("exit code", all ? 0 : 1, code);
  const std::string errors = err.str();
  if (all != errors.empty()) Fail("error message", !all, !errors.empty());
  if (!all && errors.find("line " + std::to_string(expected + 1) + ":") == std::string::npos) {
    Fail("error names the line", expected + 1, -1);
  }
  return 0;
}
