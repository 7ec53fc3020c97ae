#include "calculate/text_calculate_view.h"

#include <utility>

#include "runtime/runtime_error.h"

namespace calculate {

TextCalculateView::TextCalculateView(std::u16string first, std::u16string second)
    : person1(std::move(first)), person2(std::move(second)) {}

void TextCalculateView::Check(Call call) const {
  if (fails && fails(call)) runtime::Raise(runtime::ErrorKind::kControlCallFailed);
}

std::u16string TextCalculateView::Person1Text() {
  Check(Call::kPerson1Text);
  return person1;
}

std::u16string TextCalculateView::Person2Text() {
  Check(Call::kPerson2Text);
  return person2;
}

std::u16string TextCalculateView::Caption(Label label) {
  Check(label == Label::kResult ? Call::kResultCaption : Call::kResult2Caption);
  return CaptionOf(label);
}

void TextCalculateView::SetCaption(Label label, std::u16string_view caption) {
  const bool isResult = label == Label::kResult;
  Check(isResult ? Call::kSetResultCaption : Call::kSetResult2Caption);
  CaptionOf(label) = caption;
  events.push_back({isResult ? Shown::kResult : Shown::kResult2, std::u16string(caption)});
}

void TextCalculateView::ShowMessage(std::u16string_view prompt) {
  events.push_back({Shown::kMessage, std::u16string(prompt)});
}

std::vector<std::u16string> TextCalculateView::Messages() const {
  std::vector<std::u16string> messages;
  for (const Event& event : events) {
    if (event.what == Shown::kMessage) messages.push_back(event.text);
  }
  return messages;
}

}  // namespace calculate
