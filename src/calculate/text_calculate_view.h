// The Calculate command's view over plain strings, with no window: what the command-line
// scorer prints and what the tests check. It keeps everything the command showed, in order.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "calculate/calculate.h"

namespace calculate {

class TextCalculateView : public CalculateView {
 public:
  // What the command showed: a message box, or a caption written into Result or result2.
  enum class Shown { kMessage, kResult, kResult2 };
  struct Event {
    Shown what;
    std::u16string text;
    bool operator==(const Event&) const = default;
  };

  // The view's control calls, each of which a test can make fail.
  enum class Call {
    kPerson1Text,
    kPerson2Text,
    kResultCaption,
    kResult2Caption,
    kSetResultCaption,
    kSetResult2Caption,
  };

  explicit TextCalculateView(std::u16string first = {}, std::u16string second = {});

  std::u16string Person1Text() override;
  std::u16string Person2Text() override;
  std::u16string Caption(Label label) override;
  void SetCaption(Label label, std::u16string_view caption) override;
  void ShowMessage(std::u16string_view prompt) override;

  // The prompts of the message boxes shown, in order.
  std::vector<std::u16string> Messages() const;

  std::u16string person1, person2, result, result2;
  std::vector<Event> events;
  // Asked before each control call; a call it answers true for raises the control-call
  // error, as a call on a missing control does. Unset, every call succeeds.
  std::function<bool(Call)> fails;

 private:
  void Check(Call call) const;
  std::u16string& CaptionOf(Label label) { return label == Label::kResult ? result : result2; }
};

}  // namespace calculate
