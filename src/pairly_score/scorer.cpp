#include "pairly_score/scorer.h"

#include <cerrno>
#include <istream>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <thread>

#include "calculate/calculate.h"
#include "calculate/text_calculate_view.h"
#include "runtime/text.h"
#include "scoring/module1.h"

namespace pairly_score {
namespace {

using runtime::Utf16ToUtf8;

constexpr const char* kUsage =
    "usage: pairly-score [--blocks] NAME1 NAME2\n"
    "           --blocks: first the blocks the score counted, a line \"I J SIZE\" each\n"
    "       pairly-score --batch [--jobs N]\n"
    "           reads NAME1<TAB>NAME2 lines from standard input; large inputs are scored on\n"
    "           N threads (by default one per processor), the results in input order\n";

int DefaultJobs() {
  const unsigned processors = std::thread::hardware_concurrency();
  return processors == 0 ? 1 : static_cast<int>(std::min<unsigned>(processors, kMaxJobs));
}

// The threads of "--batch", "--batch --jobs N" or "--jobs N --batch": 0 for a count that is
// not 1 to kMaxJobs, nullopt for other arguments.
std::optional<int> BatchJobs(const std::vector<std::u16string>& arguments) {
  if (arguments.size() == 1 && arguments[0] == u"--batch") return DefaultJobs();
  if (arguments.size() != 3) return std::nullopt;
  const bool batchFirst = arguments[0] == u"--batch" && arguments[1] == u"--jobs";
  const bool batchLast = arguments[0] == u"--jobs" && arguments[2] == u"--batch";
  if (!batchFirst && !batchLast) return std::nullopt;
  const std::u16string& count = arguments[batchFirst ? 2 : 1];
  int jobs = 0;
  for (const char16_t digit : count) {
    if (digit < u'0' || digit > u'9') return 0;
    jobs = jobs * 10 + (digit - u'0');
    if (jobs > kMaxJobs) return 0;
  }
  return jobs;
}

}  // namespace

#ifndef _WIN32
bool ReadMayWait(int descriptor, PollFunction poll) {
  pollfd input{descriptor, POLLIN, 0};
  for (;;) {
    const int ready = poll(&input, 1, 0);
    if (ready >= 0) return ready == 0;
    if (errno != EINTR) return true;
  }
}
#endif

std::size_t StreamInput::Read(char* buffer, std::size_t size) {
  stream_.read(buffer, static_cast<std::streamsize>(size));
  return static_cast<std::size_t>(stream_.gcount());
}

bool StreamInput::Failed() const {
  return stream_.bad();
}

std::string ErrorText(runtime::ErrorKind kind) {
  return "run-time error " + std::to_string(runtime::ErrorNumber(kind)) + ": " +
         runtime::ErrorDescription(kind);
}

std::vector<std::string> ScorePair(const std::u16string& name1, const std::u16string& name2,
                                   const runtime::TextServices& text,
                                   std::vector<scoring::MatchBlock>* blocks) {
  calculate::TextCalculateView view(name1, name2);
  if (blocks) {
    // Calculate's steps, with the score's blocks kept.
    calculate::WarnOfEmptyNames(view);
    const calculate::Names names = calculate::ReadNames(view);
    calculate::ShowScore(
        view, Module1::NameMatchScore(names.person1, names.person2, text, nullptr, blocks), text);
  } else {
    calculate::Calculate(view, text);
  }
  std::vector<std::string> lines;
  for (const std::u16string& message : view.Messages()) {
    lines.push_back("warning: " + Utf16ToUtf8(message));
  }
  lines.push_back(Utf16ToUtf8(view.result2));
  lines.push_back(Utf16ToUtf8(view.result));
  return lines;
}

int Main(const std::vector<std::u16string>& arguments, InputSource& input, std::ostream& output,
         std::ostream& errors, const runtime::TextServices& text) {
  if (const std::optional<int> jobs = BatchJobs(arguments)) {
    if (*jobs == 0) {
      errors << "pairly-score: --jobs takes a whole number from 1 to " << kMaxJobs << '\n'
             << kUsage;
      return 2;
    }
    return ScoreBatch(input, output, errors, text, *jobs);
  }
  const bool withBlocks = arguments.size() == 3 && arguments[0] == u"--blocks";
  if (arguments.size() != 2 && !withBlocks) {
    errors << kUsage;
    return 2;
  }
  const std::u16string& name1 = arguments[withBlocks ? 1 : 0];
  const std::u16string& name2 = arguments[withBlocks ? 2 : 1];
  const auto fail = [&](const std::string& why) {
    output.flush();
    errors << "pairly-score: " << why << '\n';
    return 1;
  };
  try {
    std::vector<scoring::MatchBlock> blocks;
    const std::vector<std::string> lines =
        ScorePair(name1, name2, text, withBlocks ? &blocks : nullptr);
    for (const scoring::MatchBlock& block : blocks) {
      output << block.start1 << ' ' << block.start2 << ' ' << block.length << '\n';
    }
    for (const std::string& line : lines) output << line << '\n';
  } catch (const runtime::RuntimeError& error) {
    return fail(ErrorText(error.Kind()));
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  } catch (const std::length_error&) {  // a size beyond what can be allocated at all
    return fail("out of memory");
  }
  return 0;
}

}  // namespace pairly_score
