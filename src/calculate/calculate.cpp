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
      : view_(view), result_(view.ResultCaption()), result2_(view.Result2Caption()) {}
  CaptionRestorer(const CaptionRestorer&) = delete;
  CaptionRestorer& operator=(const CaptionRestorer&) = delete;
  ~CaptionRestorer() {
    if (committed_) return;
    try {
      view_.SetResultCaption(result_);
      view_.SetResult2Caption(result2_);
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
  view.SetResultCaption(runtime::NumberToText(score, separator));
  view.SetResult2Caption(view.ResultCaption());
  // The percentage comes from the score's text, not its full-precision value: a score
  // shown as "2.3" gives 229%, as 2.3 * 100 is 229.99999999999997 in doubles.
  const double percent = runtime::FixTowardZero(
      runtime::CheckedMultiply(runtime::TextToNumber(view.Result2Caption(), separator), 100.0));
  view.SetResultCaption(runtime::NumberToText(percent, separator) + u"%");
  restorer.Commit();
}

}  // namespace calculate
