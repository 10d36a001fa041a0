// Drives a running copy of the setup program from another process, as a user
// would: it finds the wizard's frame and pages by their control ids, clicks
// buttons and ticks boxes with BM_CLICK, types into edit boxes, reads and
// answers message boxes, and waits for the process to end.
//
// Everything is posted or sent with a time-out, so a setup that hangs in a
// handler (a modal box, say) never blocks the test; every wait has a limit
// and reports what it waited for when it runs out.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The control ids of the frame and the pages (IDC_...).
#include "ResourceIds.h"
#include "ScopedHandles.h"

namespace tonvane::test {

// What fills the page area.
enum class SetupPage { None, Welcome, Folder, Shortcuts, Progress, Offers, Complete, Terms };

const char* pageName(SetupPage page);

// The frame's buttons as a user sees them.
struct ButtonState {
  bool visible = false;
  bool enabled = false;
};

// The setup program of the build, as a Windows path.
std::wstring setupProgramPath();

// The bytes of one of the setup program's resources as its file holds them;
// "" when it has none of that type and id.
std::string setupResource(const wchar_t* type, unsigned id);

// Polls `condition` every 50 ms until it holds or the time runs out.
bool waitUntil(const std::function<bool()>& condition, DWORD milliseconds = 30000);

// The text of a window of another process (WM_GETTEXT with a time-out).
std::wstring windowText(HWND window);

// One run of a program; not copied, as it holds the process.
class SetupRun {
 public:
  // A run still going is ended by force (exit code 0xDEAD).
  ~SetupRun();

  // Starts `program` (the build's setup by default) with the arguments, in
  // `environmentBlock` when it is not empty (a double-null-terminated block,
  // see environmentWith), with `workingFolder` as its current folder when it
  // is not empty (this process's otherwise). False when the process cannot
  // be started.
  bool start(const std::wstring& arguments = L"", const std::wstring& program = L"",
             const std::wstring& environmentBlock = L"", const std::wstring& workingFolder = L"");

  // Starts a whole command line as the system's list of programs does with
  // an uninstall entry's command (CreateProcessW without a module name).
  bool startCommandLine(const std::wstring& commandLine);

  // The process's visible top-level windows.
  std::vector<HWND> visibleWindows();

  // Waits until the frame is visible with a page in it; null when it does not
  // appear in time (the process may have ended: see exitCode).
  HWND waitForFrame(DWORD milliseconds = 60000);
  HWND frame() const { return frame_; }
  DWORD processId() const { return processId_; }
  HANDLE process() const { return process_.get(); }

  // The page dialog shown in the page area (or the terms view).
  SetupPage currentPage();
  HWND pageWindow(SetupPage page);
  // Waits until `page` is shown and the wizard has handled everything up to
  // then, its idle step (which sets the buttons) included.
  bool waitForPage(SetupPage page, DWORD milliseconds = 60000);
  // Waits until the wizard answers and its button row (set by its idle
  // step) has stopped changing; false when it does not answer.
  bool settle();

  // A control of the frame or of the page shown now; null when absent.
  HWND control(int id);
  ButtonState button(int id);
  bool isChecked(int id);
  bool isEnabled(int id);

  // Posts BM_CLICK to the control (a button of the frame or of the page
  // shown): a click as the user makes it, including toggling a check box.
  void click(int id);
  // Selects the whole text of the edit box and types `text` over it, key by
  // key (WM_CHAR), as a user would.
  void typeInto(int id, const std::wstring& text);

  // Message boxes of the setup's process (top-level dialogs other than the
  // frame that hold the static text 0xFFFF).
  std::vector<HWND> messageBoxes();
  HWND waitForMessageBox(DWORD milliseconds = 30000);
  static std::wstring messageBoxText(HWND box);
  static std::wstring messageBoxCaption(HWND box);
  // Whether the box has a button with this id (IDOK, IDCANCEL, IDYES ...).
  static bool hasButton(HWND box, int id);
  // Clicks the box's button and waits until the box is gone.
  static bool answer(HWND box, int buttonId);

  // Waits for the process to end; its exit code, or STILL_ACTIVE (259) when
  // it did not end in time.
  DWORD waitForExit(DWORD milliseconds = 60000);
  DWORD exitCode();

 private:
  // CreateProcessW of the command line, `program` its module when given.
  bool launch(const wchar_t* program, std::wstring commandLine, const std::wstring& environmentBlock,
              const std::wstring& workingFolder);

  KernelHandle process_;
  DWORD processId_ = 0;
  HWND frame_ = nullptr;
};

// This process's environment with `additions` ("NAME=value" each) set, as a
// block for SetupRun::start.
std::wstring environmentWith(const std::vector<std::wstring>& additions);

// Whether the named mutex exists (another process holds or held it open).
bool mutexExists(const wchar_t* name);

}  // namespace tonvane::test
