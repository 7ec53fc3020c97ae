#include "main_window/form1.h"

#include <array>
#include <chrono>

#include "resource_ids.h"
#include "runtime/wide_text.h"
#include "runtime/window_description.h"
#include "scoring/module1.h"

namespace main_window {
namespace {

using runtime::AccessibleRole;
using runtime::ControlDescription;
using runtime::ControlKind;
using runtime::FontDescription;
using runtime::LiveRegion;
using runtime::PictureFormat;
using runtime::TextAlignment;
using runtime::Utf16ToWide;
using runtime::WideToUtf16;

constexpr uint32_t kDarkGrey = 0x00404040;
constexpr uint32_t kNavy = 0x00800000;
constexpr uint32_t kLavender = 0x00FFC0C0;

// The program carries League Spartan Black and Dosis Bold for systems without these faces.
constexpr FontDescription kPerson1Font{L"Zurich BlkEx BT", 1200, 400, L"League Spartan Black"};
constexpr FontDescription kPerson2Font{L"Zurich BlkEx BT", 1200, 700, L"League Spartan Black"};
constexpr FontDescription kResultFont{L"Tubular", 2775, 400, L"Dosis", 700};

// Front to back; text boxes and buttons lie above the labels and pictures whatever their place.
// clang-format off
constexpr std::array<ControlDescription, 8> kControls{{
    {.kind = ControlKind::kTextBox, .id = kPerson1,
     .left = 120, .top = 3480, .width = 2175, .height = 420,
     .textColour = kDarkGrey, .font = kPerson1Font, .tabIndex = 5,
     .accessibleName = L"Your name"},
    {.kind = ControlKind::kCommandButton, .id = kCommand2,
     .left = 2880, .top = 4080, .width = 1335, .height = 375, .caption = L"E&xit", .tabIndex = 2,
     .availableWhileBusy = true},
    {.kind = ControlKind::kCommandButton, .id = kCommand1,
     .left = 480, .top = 4080, .width = 1335, .height = 375, .caption = L"&Calculate",
     .tabIndex = 1},
    {.kind = ControlKind::kTextBox, .id = kPerson2,
     .left = 2520, .top = 3480, .width = 2115, .height = 420,
     .textColour = kDarkGrey, .font = kPerson2Font, .tabIndex = 0,
     .accessibleName = L"Her name"},
    {.kind = ControlKind::kImage, .id = kImage2,
     .left = 0, .top = 3600, .width = 4800, .height = 3600,
     .picture = {PictureFormat::kBitmap, PAIRLY_BITMAP_FILL}},
    // Outside the client area on purpose: it carries the score text out of sight.
    {.kind = ControlKind::kLabel, .id = kResult2,
     .left = 5040, .top = 3240, .width = 2895, .height = 495, .tabIndex = 4},
    {.kind = ControlKind::kLabel, .id = kResult,
     .left = 1800, .top = 2280, .width = 1150, .height = 615,
     .textColour = kNavy, .font = kResultFont, .tabIndex = 3,
     .alignment = TextAlignment::kCenter, .liveRegion = LiveRegion::kPolite},
    {.kind = ControlKind::kImage, .id = kImage1,
     .left = 0, .top = 0, .width = 4800, .height = 3600,
     .picture = {PictureFormat::kBitmap, PAIRLY_BITMAP_CARTOON},
     .accessibleName = L"About PAIRLY Calc", .accessibleRole = AccessibleRole::kPushButton,
     .functionKey = 1},
}};
// clang-format on
static_assert(runtime::ControlIdsAreUsable(kControls));

constexpr runtime::WindowDescription kForm1{
    .name = L"Form1",
    .title = L"PAIRLY Calc",
    .clientWidth = 4770,
    .clientHeight = 4635,
    .backColour = kLavender,
    .closeBox = true,
    .iconId = PAIRLY_ICON_HEART,
    .controls = kControls,
};

// Names up to this many characters together are scored on the window's thread: starting a
// thread takes longer than their score (under Wine, about 5 ms against at most 6 ms for 8,000
// characters a side).
constexpr std::size_t kScoredInPlace = 16384;
// A longer score that ends within this time is shown as if it had run on the window's thread:
// the window never shows itself busy, and answers no later than a pause of the eye.
constexpr std::chrono::milliseconds kQuickScore{50};

// The control that shows each label the Calculate command writes.
int LabelId(calculate::Label label) {
  return label == calculate::Label::kResult ? kResult : kResult2;
}

}  // namespace

Form1::Form1(runtime::Application& application, const runtime::TextServices& text)
    : Form(application, kForm1), text_(text), splash_(application) {}

Form1::~Form1() {
  // The window goes first: its last messages still find every member here.
  Unload();
}

void Form1::OnClick(int id) {
  switch (id) {
    case kCommand1:
      Calculate();
      break;
    case kCommand2:
      App().End();
      break;
    case kImage1:
      splash_.Open();
      break;
    default:
      break;
  }
}

void Form1::Calculate() {
  View view(*this);
  calculate::WarnOfEmptyNames(view);
  calculate::Names names = calculate::ReadNames(view);
  if (names.person1.size() + names.person2.size() <= kScoredInPlace) {
    calculate::ShowScore(view, Module1::NameMatchScore(names.person1, names.person2, text_), text_);
    return;
  }
  score_.Start(
      [&text = text_, names = std::move(names)](const scoring::Cancellation& cancellation) {
        return Module1::NameMatchScore(names.person1, names.person2, text, &cancellation);
      },
      WorkDoneNotifier());
  if (score_.WaitFor(kQuickScore)) {
    ShowScore();
  } else {
    SetBusy(true);
  }
}

void Form1::OnWorkDone() {
  // The notice of a score already shown, or of one cancelled, comes too late to matter.
  if (score_.WaitFor(std::chrono::milliseconds{0})) ShowScore();
}

void Form1::ShowScore() {
  SetBusy(false);
  View view(*this);
  calculate::ShowScore(view, score_.Take(), text_);
}

void Form1::OnCancel() {
  StopCalculating();
}

void Form1::OnUnload() noexcept {
  StopCalculating();
  score_.Stop();  // no thread outlives the window
}

void Form1::StopCalculating() noexcept {
  score_.Cancel();
  score_.Discard();
  SetBusy(false);
}

std::u16string Form1::View::Person1Text() {
  return WideToUtf16(form_.Text(kPerson1));
}
std::u16string Form1::View::Person2Text() {
  return WideToUtf16(form_.Text(kPerson2));
}
std::u16string Form1::View::Caption(calculate::Label label) {
  return WideToUtf16(form_.Caption(LabelId(label)));
}
void Form1::View::SetCaption(calculate::Label label, std::u16string_view caption) {
  form_.SetCaption(LabelId(label), Utf16ToWide(caption));
}
void Form1::View::ShowMessage(std::u16string_view prompt) {
  form_.ShowMessage(Utf16ToWide(prompt));
}

}  // namespace main_window
