// frmSplash, the about window: the splash picture with three white lines on it. It closes
// itself one second after it was created, or at once at a key that types a character.
#pragma once

#include "runtime/form.h"

namespace splash_window {

enum FrmSplashControl : int {
  kLabel3 = 203,
  kLabel2 = 202,
  kLabel1 = 201,
  kTimer1 = 210,
};

class FrmSplash : public runtime::Form {
 public:
  explicit FrmSplash(runtime::Application& application);

  // Creates the window (starting Timer1) unless it is open, then shows it in front. A window
  // already open keeps its timer's count.
  void Open();

 protected:
  void OnTimer(int id) override;
  void OnKeyChar() override;
};

}  // namespace splash_window
