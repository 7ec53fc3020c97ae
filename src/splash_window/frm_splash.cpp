#include "splash_window/frm_splash.h"

#include <array>

#include "resource_ids.h"
#include "runtime/window_description.h"

namespace splash_window {
namespace {

using runtime::ControlDescription;
using runtime::ControlKind;
using runtime::FontDescription;

constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr FontDescription kSmallBold{L"MS Sans Serif", 975, 700};
constexpr FontDescription kLargeBold{L"MS Sans Serif", 1200, 700};

// Front to back. The boxes reach past the right edge of the client area; that part is clipped.
// clang-format off
constexpr std::array<ControlDescription, 3> kControls{{
    {.kind = ControlKind::kLabel, .id = kLabel3,
     .left = 120, .top = 1680, .width = 2895, .height = 375,
     .caption = L"pairly@example.com", .textColour = kWhite, .font = kLargeBold},
    {.kind = ControlKind::kLabel, .id = kLabel2,
     .left = 1320, .top = 1440, .width = 1815, .height = 255,
     .caption = L"Pairly  Calc", .textColour = kWhite, .font = kSmallBold},
    {.kind = ControlKind::kLabel, .id = kLabel1,
     .left = 1680, .top = 1200, .width = 1335, .height = 255,
     .caption = L"by Pairly", .textColour = kWhite, .font = kSmallBold},
}};
// clang-format on
static_assert(runtime::ControlIdsAreUsable(kControls));

constexpr std::array<runtime::TimerDescription, 1> kTimers{{{kTimer1, 1000}}};

constexpr runtime::WindowDescription kFrmSplash{
    .name = L"frmSplash",
    .title = L"",
    .clientWidth = 2985,
    .clientHeight = 2400,
    .backColour = 0x00000000,
    .closeBox = false,
    .background = {runtime::PictureFormat::kJpeg, PAIRLY_JPEG_SPLASH},
    .controls = kControls,
    .timers = kTimers,
};

}  // namespace

FrmSplash::FrmSplash(runtime::Application& application) : Form(application, kFrmSplash) {}

void FrmSplash::Open() {
  Load();
  Show();
}

void FrmSplash::OnTimer(int id) {
  if (id == kTimer1) Unload();
}

// Any key that types a character; which one does not matter.
void FrmSplash::OnKeyChar() {
  Unload();
}

}  // namespace splash_window
