// The Calculate command: reads the two names, warns about each empty one, scores the pair
// and shows the raw score in result2 and the whole-number percentage in Result.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/text_services.h"

namespace main_window {

// What the command needs of the window: the two name boxes, the two result labels and a
// modal message box. The real window and the tests' fake both implement it.
class CalculateView {
 public:
  virtual ~CalculateView() = default;
  virtual std::u16string Person1Text() = 0;
  virtual std::u16string Person2Text() = 0;
  virtual std::u16string ResultCaption() = 0;
  virtual void SetResultCaption(std::u16string_view caption) = 0;
  virtual std::u16string Result2Caption() = 0;
  virtual void SetResult2Caption(std::u16string_view caption) = 0;
  // Returns once the user has dismissed the box.
  virtual void ShowMessage(std::u16string_view prompt) = 0;
};

// The command over plain strings, with no window: for the command-line scorer and for tests.
// Each message box the command shows is kept in `messages`.
class TextCalculateView : public CalculateView {
 public:
  TextCalculateView(std::u16string first, std::u16string second)
      : person1(std::move(first)), person2(std::move(second)) {}

  std::u16string Person1Text() override { return person1; }
  std::u16string Person2Text() override { return person2; }
  std::u16string ResultCaption() override { return result; }
  void SetResultCaption(std::u16string_view caption) override { result = caption; }
  std::u16string Result2Caption() override { return result2; }
  void SetResult2Caption(std::u16string_view caption) override { result2 = caption; }
  void ShowMessage(std::u16string_view prompt) override { messages.emplace_back(prompt); }

  std::u16string person1, person2, result, result2;
  std::vector<std::u16string> messages;
};

inline constexpr std::u16string_view kEnterYourName = u"Enter Your Name!!!";
inline constexpr std::u16string_view kEnterHerName = u"Enter Her Name!!!";

// Runs the command once. A runtime error propagates to the caller with both captions as
// they were before the command started.
void Calculate(CalculateView& view,
               const runtime::TextServices& text = runtime::SystemTextServices());

}  // namespace main_window
