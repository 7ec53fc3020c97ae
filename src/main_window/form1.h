// Form1, the main window: two name boxes, Calculate and Exit, the percentage over the
// cartoon, and the cartoon that opens the splash window.
#pragma once

#include <string>

#include "calculate/calculate.h"
#include "runtime/background_work.h"
#include "runtime/form.h"
#include "runtime/text_services.h"
#include "splash_window/frm_splash.h"

namespace main_window {

// Control ids; 1 and 2 are the dialog manager's IDOK and IDCANCEL.
enum Form1Control : int {
  kPerson1 = 101,
  kCommand2 = 102,
  kCommand1 = 103,
  kPerson2 = 104,
  kImage2 = 105,
  kResult2 = 106,
  kResult = 107,
  kImage1 = 108,
};

class Form1 : public runtime::Form {
 public:
  explicit Form1(runtime::Application& application,
                 const runtime::TextServices& text = runtime::SystemTextServices());
  ~Form1() override;

  // The one splash window, open or not; it may outlive this window.
  splash_window::FrmSplash& Splash() { return splash_; }

 protected:
  void OnClick(int id) override;
  void OnCancel() override;
  void OnWorkDone() override;
  void OnUnload() noexcept override;

 private:
  // Calculate: the names are read and the warnings shown here, the score is computed on a
  // thread of its own, and shown here once it is done. One at a time: the score's code
  // arrays are shared.
  void Calculate();
  void ShowScore();
  void StopCalculating() noexcept;

  // Calculate's view of this window.
  class View : public calculate::CalculateView {
   public:
    explicit View(Form1& form) : form_(form) {}
    std::u16string Person1Text() override;
    std::u16string Person2Text() override;
    std::u16string Caption(calculate::Label label) override;
    void SetCaption(calculate::Label label, std::u16string_view caption) override;
    void ShowMessage(std::u16string_view prompt) override;

   private:
    Form1& form_;
  };

  const runtime::TextServices& text_;
  splash_window::FrmSplash splash_;
  runtime::BackgroundWork<double> score_;
};

}  // namespace main_window
