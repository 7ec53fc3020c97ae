#include "calculate/calculate.h"

#include "runtime/checked_arithmetic.h"
#include "runtime/number_text.h"
#include "scoring/module1.h"

namespace calculate {
namespace {

// Puts back the captions the command wrote unless it completes, so a click that fails leaves
// the window as it was. A caption it never wrote is left alone: a failure before the first
// one (out of memory in the score, say) then has nothing to undo that could fail in turn.
class CaptionRestorer {
 public:
  explicit CaptionRestorer(CalculateView& view)
      : view_(view),
        result_(view.Caption(Label::kResult)),
        result2_(view.Caption(Label::kResult2)) {}
  CaptionRestorer(const CaptionRestorer&) = delete;
  CaptionRestorer& operator=(const CaptionRestorer&) = delete;
  ~CaptionRestorer() {
    if (committed_) return;
    Restore(Label::kResult, resultWritten_, result_);
    Restore(Label::kResult2, result2Written_, result2_);
  }
  void SetCaption(Label label, std::u16string_view caption) {
    view_.SetCaption(label, caption);
    // Only once it is written: a write that failed left the caption as it was.
    (label == Label::kResult ? resultWritten_ : result2Written_) = true;
  }
  void Commit() { committed_ = true; }

 private:
  void Restore(Label label, bool written, const std::u16string& caption) {
    if (!written) return;
    try {
      view_.SetCaption(label, caption);
    } catch (...) {
      // The original error is the one worth reporting.
    }
  }

  CalculateView& view_;
  std::u16string result_;
  std::u16string result2_;
  bool resultWritten_ = false;
  bool result2Written_ = false;
  bool committed_ = false;
};

}  // namespace

std::u16string PercentText(std::u16string_view scoreText, std::u16string_view separator) {
  // The percentage comes from the score's text, not its full-precision value: a score
  // shown as "2.3" gives 229%, as 2.3 * 100 is 229.99999999999997 in doubles.
  const double percent = runtime::FixTowardZero(
      runtime::CheckedMultiply(runtime::TextToNumber(scoreText, separator), 100.0));
  return runtime::NumberToText(percent, separator) + u"%";
}

void WarnOfEmptyNames(CalculateView& view) {
  if (view.Person1Text().empty()) view.ShowMessage(kEnterYourName);
  if (view.Person2Text().empty()) view.ShowMessage(kEnterHerName);
}

Names ReadNames(CalculateView& view) {
  Names names{view.Person1Text(), {}};
  names.person2 = view.Person2Text();
  return names;
}

void ShowScore(CalculateView& view, double score, const runtime::TextServices& text) {
  CaptionRestorer restorer(view);
  const std::u16string separator = text.DecimalSeparator();
  restorer.SetCaption(Label::kResult, runtime::NumberToText(score, separator));
  restorer.SetCaption(Label::kResult2, view.Caption(Label::kResult));
  restorer.SetCaption(Label::kResult, PercentText(view.Caption(Label::kResult2), separator));
  restorer.Commit();
}

void Calculate(CalculateView& view, const runtime::TextServices& text) {
  WarnOfEmptyNames(view);
  const Names names = ReadNames(view);
  ShowScore(view, Module1::NameMatchScore(names.person1, names.person2, text), text);
}

}  // namespace calculate
