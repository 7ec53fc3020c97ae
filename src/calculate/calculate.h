// The Calculate command: reads the two names, warns about each empty one, scores the pair
// and shows the raw score in result2 and the whole-number percentage in Result.
#pragma once

#include <string>
#include <string_view>

#include "runtime/text_services.h"

namespace calculate {

// The two labels the command writes: Result shows the percentage, result2 carries the
// score's text from one step to the next.
enum class Label { kResult, kResult2 };

// What the command needs of the window: the two name boxes, the two labels and a modal
// message box. Form1 implements it over its controls, TextCalculateView over strings.
class CalculateView {
 public:
  virtual ~CalculateView() = default;
  virtual std::u16string Person1Text() = 0;
  virtual std::u16string Person2Text() = 0;
  virtual std::u16string Caption(Label label) = 0;
  virtual void SetCaption(Label label, std::u16string_view caption) = 0;
  // Returns once the user has dismissed the box.
  virtual void ShowMessage(std::u16string_view prompt) = 0;
};

inline constexpr std::u16string_view kEnterYourName = u"Enter Your Name!!!";
inline constexpr std::u16string_view kEnterHerName = u"Enter Her Name!!!";

// Result's final caption for the score text in result2: the text read back, times 100,
// truncated toward zero, followed by "%".
std::u16string PercentText(std::u16string_view scoreText, std::u16string_view separator);

// The names as the command scores them.
struct Names {
  std::u16string person1;
  std::u16string person2;
};

// The command in the parts a window needs to score off its own thread: they run on the
// window's thread in this order, with the score between the last two.
//
// Shows the warning for each empty name, in order, each name read just before its check.
void WarnOfEmptyNames(CalculateView& view);
// Reads the two names for the score: again, after the warnings, as they are now.
Names ReadNames(CalculateView& view);
// Shows a score: its text in Result, copied to result2, then the percentage read back from
// result2. A runtime error propagates with both captions as they were.
void ShowScore(CalculateView& view, double score,
               const runtime::TextServices& text = runtime::SystemTextServices());

// Runs the command once, all of it on the caller's thread. A runtime error propagates to the
// caller with both captions as they were before the command started.
void Calculate(CalculateView& view,
               const runtime::TextServices& text = runtime::SystemTextServices());

}  // namespace calculate
