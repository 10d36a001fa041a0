// The wizard's controller: one frame dialog (IDD_FRAME) with the header
// band, the button row and the page area, six page dialogs that take turns
// in the page area, and the terms view. SetupWizard decides which page is
// current, which buttons show, what each button does and how the wizard
// ends; its data is the SetupState it owns.
//
//   initModule();
//   const ExitCode exitCode = runWizard(showCommand);  // ExitCode::Wizard...
//   termModule();
#pragma once

#include <windows.h>

#include "DialogBinding.h"
#include "ExitCode.h"
#include "MessageLoop.h"
#include "ResourceIds.h"
#include "SetupState.h"

namespace tonvane {

class SetupWizard;

// One page dialog. It translates itself when it is created and hands every
// command of its controls to the frame's controller.
class WizardPage : public DialogBinding {
 public:
  explicit WizardPage(SetupWizard& owner) : owner_(owner) {}
  bool processWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                            DWORD mapId) override;

 private:
  SetupWizard& owner_;
};

class SetupWizard : public DialogBinding, public MessageFilter, public IdleHandler {
 public:
  SetupWizard();
  SetupWizard(const SetupWizard&) = delete;
  SetupWizard& operator=(const SetupWizard&) = delete;

  SetupState& state() { return state_; }

  // The frame's message map.
  bool processWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                            DWORD mapId) override;
  // The dialog keyboard interface of the frame.
  bool preTranslateMessage(MSG& message) override;
  // After every burst of messages: the buttons of the current page, then
  // the button Enter presses and the keyboard focus.
  void onIdle() override {
    updateButtons();
    settleKeyboard();
  }

  // Creates the current page on its first visit (with its defaults) and
  // shows it alone in the page area.
  void refreshPages();
  // Visibility and enabled state of the frame's buttons for the current page.
  void updateButtons();
  // Destroys the frame and posts the quit message with the exit code.
  void endWizard(ExitCode exitCode);

  void onNext();
  void onBack();
  void onYes();
  void onNo();
  void onTerms(PageIndex page, unsigned textResource);
  void onTermsOk();
  void onCancel();
  void onClose();

 private:
  BOOL onInitDialog();
  void onDestroy();
  bool onCommand(int id, HWND sender);
  void createPage(PageIndex page);
  void applyPageDefaults(PageIndex page, HWND window);
  // refreshPages, then the whole frame repainted with its header.
  void refreshAndRepaint();
  bool isChecked(PageIndex page, int control) const;
  // Once a page is shown: Enter presses its default button, and the focus
  // is on one of its controls or that button, never on a window that is
  // hidden or disabled.
  void settleKeyboard();

  SetupState state_;
  // The page whose default button and focus settleKeyboard last set.
  std::int32_t keyboardPage_ = -1;
};

// Runs the whole wizard on the calling thread, between initModule and
// termModule, and returns the exit code given to endWizard; WizardNotShown
// when the frame cannot be created.
ExitCode runWizard(int showCommand);

}  // namespace tonvane
