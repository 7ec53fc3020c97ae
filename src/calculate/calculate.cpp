#include "calculate/calculate.h"

#include "runtime/checked_arithmetic.h"
#include "runtime/number_text.h"
#include "scoring/module1.h"

namespace calculate {
namespace {

// Puts both captions back unless the command completes, so a click that fails leaves the
// window as it was.
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
    try {
      view_.SetCaption(Label::kResult, result_);
      view_.SetCaption(Label::kResult2, result2_);
    } catch (...) {
      // The original error is the one worth reporting.
    }
  }
  void Commit() { committed_ = true; }

 private:
  CalculateView& view_;
  std::u16string result_;
  std::u16string result2_;
  bool committed_ = false;
};

}  // namespace

void Calculate(CalculateView& view, const runtime::TextServices& text) {
  if (view.Person1Text().empty()) view.ShowMessage(kEnterYourName);
  if (view.Person2Text().empty()) view.ShowMessage(kEnterHerName);

  CaptionRestorer restorer(view);
  const double score = Module1::NameMatchScore(view.Person1Text(), view.Person2Text(), text);
  const std::u16string separator = text.DecimalSeparator();
  view.SetCaption(Label::kResult, runtime::NumberToText(score, separator));
  view.SetCaption(Label::kResult2, view.Caption(Label::kResult));
  // The percentage comes from the score's text, not its full-precision value: a score
  // shown as "2.3" gives 229%, as 2.3 * 100 is 229.99999999999997 in doubles.
  const double percent = runtime::FixTowardZero(runtime::CheckedMultiply(
      runtime::TextToNumber(view.Caption(Label::kResult2), separator), 100.0));
  view.SetCaption(Label::kResult, runtime::NumberToText(percent, separator) + u"%");
  restorer.Commit();
}

}  // namespace calculate
