#include "pairly_score/scorer.h"

#include <istream>
#include <ostream>

#include "calculate/calculate.h"
#include "calculate/text_calculate_view.h"
#include "runtime/runtime_error.h"
#include "runtime/text.h"

namespace pairly_score {
namespace {

using runtime::Utf16ToUtf8;

constexpr const char* kUsage =
    "usage: pairly-score NAME1 NAME2\n"
    "       pairly-score --batch   (reads NAME1<TAB>NAME2 lines from standard input)\n";

std::string ErrorText(const runtime::RuntimeError& error) {
  return "run-time error " + std::to_string(runtime::ErrorNumber(error.Kind())) + ": " +
         runtime::ErrorDescription(error.Kind());
}

}  // namespace

std::vector<std::string> ScorePair(const std::u16string& name1, const std::u16string& name2,
                                   const runtime::TextServices& text) {
  calculate::TextCalculateView view(name1, name2);
  calculate::Calculate(view, text);
  std::vector<std::string> lines;
  for (const std::u16string& message : view.Messages()) {
    lines.push_back("warning: " + Utf16ToUtf8(message));
  }
  lines.push_back(Utf16ToUtf8(view.result2));
  lines.push_back(Utf16ToUtf8(view.result));
  return lines;
}

int ScoreBatch(std::istream& input, std::ostream& output, std::ostream& errors,
               const runtime::TextServices& text) {
  std::string line;
  for (long lineNumber = 1; std::getline(input, line); ++lineNumber) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto fail = [&](const std::string& why) {
      output.flush();
      errors << "pairly-score: line " << lineNumber << ": " << why << '\n';
      return 1;
    };
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) return fail("no tab between the two names");
    auto decoded1 = runtime::DecodeUtf8(std::string_view(line).substr(0, tab));
    auto decoded2 = runtime::DecodeUtf8(std::string_view(line).substr(tab + 1));
    if (!decoded1 || !decoded2) return fail("not valid UTF-8");
    calculate::TextCalculateView view(std::move(*decoded1), std::move(*decoded2));
    try {
      calculate::Calculate(view, text);
    } catch (const runtime::RuntimeError& error) {
      return fail(ErrorText(error));
    }
    output << Utf16ToUtf8(view.result2) << '\t' << Utf16ToUtf8(view.result) << '\n';
  }
  output.flush();
  return 0;
}

int Main(const std::vector<std::u16string>& arguments, std::istream& input, std::ostream& output,
         std::ostream& errors, const runtime::TextServices& text) {
  if (arguments.size() == 1 && arguments[0] == u"--batch") {
    return ScoreBatch(input, output, errors, text);
  }
  if (arguments.size() != 2) {
    errors << kUsage;
    return 2;
  }
  try {
    for (const std::string& line : ScorePair(arguments[0], arguments[1], text)) {
      output << line << '\n';
    }
  } catch (const runtime::RuntimeError& error) {
    output.flush();
    errors << "pairly-score: " << ErrorText(error) << '\n';
    return 1;
  }
  return 0;
}

}  // namespace pairly_score
