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

std::u16string TextCalculateView::ResultCaption() {
  Check(Call::kResultCaption);
  return result;
}

void TextCalculateView::SetResultCaption(std::u16string_view caption) {
  Check(Call::kSetResultCaption);
  result = caption;
  events.push_back({Shown::kResult, result});
}

std::u16string TextCalculateView::Result2Caption() {
  Check(Call::kResult2Caption);
  return result2;
}

void TextCalculateView::SetResult2Caption(std::u16string_view caption) {
  Check(Call::kSetResult2Caption);
  result2 = caption;
  events.push_back({Shown::kResult2, result2});
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
