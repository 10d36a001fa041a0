// Walks the setup through its pages for a person to look at, pausing at each
// page and message box so that a screenshot can be taken from the Linux side:
//
//   walkthrough MODE HANDSHAKE_FOLDER [setup arguments...]
//
// MODE "defaults" takes the typical run: defaults everywhere, No to the
// offers, the press-release box unticked so that no browser starts. MODE
// "review" also opens both terms views and raises every message box the
// wizard has (the Cancel question, the empty-folder refusal, the overwrite
// question) and answers them so that the run carries on; then it starts the
// uninstall entry's command and takes its question, its progress window and
// its summary.
//
// The pause is a handshake through two files in HANDSHAKE_FOLDER: the walk
// writes "request" ("NAME LEFT TOP WIDTH HEIGHT", the screen rectangle to
// keep) and waits for "ack" to appear. The file is written under another name
// and renamed, so the other side never reads half a line.
//
// It prints one line per step, the install folder, and the setup's exit
// code; it ends with 0 when every step was reached, 1 otherwise.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>

#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "TestFiles.h"

using namespace tonvane::test;

namespace {

constexpr DWORD kAckTimeout = 60000;
// The page is shown when waitForPage returns; the header and the controls
// may still be painting.
constexpr DWORD kPaintDelay = 800;

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Stops or restarts every thread of a process. The install runs between
// the Progress page's first paint and the Offers page, in well under a
// second: held, the process leaves the Progress page on the screen.
void holdProcess(DWORD processId, bool hold) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != processId) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
    if (thread == nullptr) continue;
    if (hold)
      SuspendThread(thread);
    else
      ResumeThread(thread);
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
}

RECT unite(RECT a, const RECT& b) {
  a.left = std::min(a.left, b.left);
  a.top = std::min(a.top, b.top);
  a.right = std::max(a.right, b.right);
  a.bottom = std::max(a.bottom, b.bottom);
  return a;
}

class Walk {
 public:
  Walk(std::wstring handshake, SetupRun& run) : handshake_(std::move(handshake)), run_(run) {
    if (!handshake_.empty() && handshake_.back() != L'\\') handshake_ += L'\\';
  }

  bool failed() const { return failed_; }

  // Fails the walk with a line saying what did not happen.
  bool check(bool reached, const char* what) {
    if (!reached) {
      say(std::string("walkthrough: ") + what + " did not happen (page now: " + pageName(run_.currentPage()) + ")");
      failed_ = true;
    }
    return reached;
  }

  bool page(SetupPage page, DWORD milliseconds = 60000) {
    return check(run_.waitForPage(page, milliseconds), pageName(page));
  }

  // Screenshot of the frame, or of the frame with a message box over it.
  bool shot(const char* name, HWND box = nullptr, DWORD paintDelay = kPaintDelay) {
    Sleep(paintDelay);
    RECT area = {};
    GetWindowRect(run_.frame(), &area);
    if (box != nullptr) {
      RECT boxArea = {};
      GetWindowRect(box, &boxArea);
      area = unite(area, boxArea);
    }
    return request(name, area,
                   box != nullptr ? "message box: " + utf8Of(SetupRun::messageBoxText(box))
                                  : std::string("page: ") + pageName(run_.currentPage()));
  }

  // Screenshot of one window of a program without the wizard's frame.
  bool shotWindow(const char* name, HWND window, const std::string& what, DWORD paintDelay = kPaintDelay) {
    Sleep(paintDelay);
    RECT area = {};
    GetWindowRect(window, &area);
    return request(name, area, what);
  }

  bool request(const char* name, const RECT& area, std::string detail) {
    // One line per step, also for a text of several lines.
    for (std::size_t at; (at = detail.find("\r\n")) != std::string::npos;) detail.replace(at, 2, " / ");
    say(std::string("shot ") + name + "  (" + detail + ")");

    char line[256];
    std::snprintf(line, sizeof line, "%s %ld %ld %ld %ld\n", name, area.left, area.top, area.right - area.left,
                  area.bottom - area.top);
    const std::wstring pending = handshake_ + L"request.tmp";
    const std::wstring request = handshake_ + L"request";
    const std::wstring ack = handshake_ + L"ack";
    DeleteFileW(ack.c_str());
    writeBytes(pending, line);
    if (!MoveFileExW(pending.c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING))
      return check(false, "handing over the screenshot request");
    const bool acknowledged = waitUntil([&] { return fileExists(ack); }, kAckTimeout);
    DeleteFileW(ack.c_str());
    return check(acknowledged, "the screenshot acknowledgement");
  }

  HWND box(const char* what) {
    HWND found = run_.waitForMessageBox();
    check(found != nullptr, what);
    return found;
  }

  bool answer(HWND box, int button, const char* what) {
    return check(box != nullptr && SetupRun::answer(box, button), what);
  }

 private:
  std::wstring handshake_;
  SetupRun& run_;
  bool failed_ = false;
};

// Progress may pass before it is seen; the walk only needs Offers after it.
void progressThenOffers(Walk& walk, SetupRun& run, const char* progressShot, const char* offersShot) {
  bool shown = false;
  if (waitUntil([&] { return run.currentPage() == SetupPage::Progress; }, 20000)) {
    Sleep(100);  // the page's first paint
    holdProcess(run.processId(), true);
    shown = run.currentPage() == SetupPage::Progress;
    if (shown) walk.shot(progressShot, nullptr, 0);
    holdProcess(run.processId(), false);
  }
  if (!shown) say("walkthrough: the Progress page went by before it could be shot");
  if (walk.page(SetupPage::Offers, 180000)) walk.shot(offersShot);
}

void finish(Walk& walk, SetupRun& run, const char* completeShot) {
  run.click(IDC_FRAME_NO);
  if (!walk.page(SetupPage::Complete)) return;
  walk.shot(completeShot);
  // Unticked, Close opens no web page: nothing leaves this machine.
  if (run.isChecked(IDC_COMPLETE_PRESS_RELEASE)) run.click(IDC_COMPLETE_PRESS_RELEASE);
  walk.check(waitUntil([&] { return !run.isChecked(IDC_COMPLETE_PRESS_RELEASE); }, 10000),
             "unticking the press-release box");
  run.click(IDC_FRAME_CLOSE);
}

void walkDefaults(Walk& walk, SetupRun& run) {
  if (!walk.page(SetupPage::Welcome)) return;
  walk.shot("01-welcome");
  run.click(IDC_FRAME_NEXT);
  if (!walk.page(SetupPage::Folder)) return;
  say("install folder: " + utf8Of(windowText(run.control(IDC_FOLDER_EDIT))));
  walk.shot("02-folder");
  run.click(IDC_FRAME_NEXT);
  if (!walk.page(SetupPage::Shortcuts)) return;
  walk.shot("03-shortcuts");
  run.click(IDC_FRAME_NEXT);
  progressThenOffers(walk, run, "04-progress", "05-offers");
  if (walk.failed()) return;
  finish(walk, run, "06-complete");
}

// The uninstall entry's command, as the system's list of programs starts
// it: the question, the progress window (the process held while it is on
// the screen, the removal being quick), the summary.
void walkUninstall(Walk& walk, const std::wstring& command) {
  SetupRun uninstaller;
  if (!walk.check(uninstaller.startCommandLine(command), "starting the uninstaller")) return;
  HWND question = uninstaller.waitForMessageBox();
  if (!walk.check(question != nullptr, "the uninstaller's question")) return;
  walk.shotWindow("14-uninstall-question", question, "message box: " + utf8Of(SetupRun::messageBoxText(question)));
  SetupRun::answer(question, IDYES);

  HWND progress = nullptr;
  const bool held = waitUntil(
      [&] {
        for (HWND window : uninstaller.visibleWindows())
          if (GetDlgItem(window, 102) != nullptr) progress = window;
        if (progress != nullptr) holdProcess(uninstaller.processId(), true);
        return progress != nullptr || !uninstaller.messageBoxes().empty();
      },
      30000);
  if (held && progress != nullptr) {
    // Held, the window cannot be asked for its texts: the picture shows them.
    walk.shotWindow("15-uninstall-progress", progress, "uninstall progress window", 0);
    holdProcess(uninstaller.processId(), false);
  } else {
    say("walkthrough: the uninstaller's progress window went by before it could be shot");
  }
  HWND summary = uninstaller.waitForMessageBox(60000);
  if (!walk.check(summary != nullptr, "the uninstaller's summary")) return;
  walk.shotWindow("16-uninstall-summary", summary, "message box: " + utf8Of(SetupRun::messageBoxText(summary)));
  SetupRun::answer(summary, IDOK);
  say("uninstaller exit code: " + std::to_string(uninstaller.waitForExit()));
}

void walkReview(Walk& walk, SetupRun& run) {
  if (!walk.page(SetupPage::Welcome)) return;
  walk.shot("01-welcome");

  // Cancel asks first; its Cancel button keeps the setup going.
  run.click(IDC_FRAME_CANCEL);
  HWND box = walk.box("the Cancel question");
  if (box == nullptr) return;
  walk.shot("02-cancel-question", box);
  walk.answer(box, IDCANCEL, "answering the Cancel question");
  if (!walk.page(SetupPage::Welcome)) return;

  run.click(IDC_FRAME_NEXT);
  if (!walk.page(SetupPage::Folder)) return;
  const std::wstring folder = windowText(run.control(IDC_FOLDER_EDIT));
  say("install folder: " + utf8Of(folder));
  walk.shot("03-folder");

  run.typeInto(IDC_FOLDER_EDIT, L"");
  run.click(IDC_FRAME_NEXT);
  box = walk.box("the refusal of an empty folder");
  if (box == nullptr) return;
  walk.shot("04-empty-folder-refused", box);
  walk.answer(box, IDOK, "answering the empty-folder refusal");
  if (!walk.page(SetupPage::Folder)) return;

  // A folder that is there already: the wizard asks before installing over it.
  TempFolder existing;
  run.typeInto(IDC_FOLDER_EDIT, existing.path());
  run.click(IDC_FRAME_NEXT);
  box = walk.box("the overwrite question");
  if (box == nullptr) return;
  walk.shot("05-overwrite-question", box);
  walk.answer(box, IDNO, "answering No to the overwrite question");
  if (!walk.page(SetupPage::Folder)) return;
  run.typeInto(IDC_FOLDER_EDIT, folder);

  run.click(IDC_FRAME_NEXT);
  if (!walk.page(SetupPage::Shortcuts)) return;
  walk.shot("06-shortcuts");
  run.click(IDC_FRAME_NEXT);
  progressThenOffers(walk, run, "07-progress", "08-offers");
  if (walk.failed()) return;

  run.click(IDC_OFFERS_TOOLBAR_TERMS);
  if (!walk.page(SetupPage::Terms)) return;
  walk.shot("09-toolbar-terms");
  run.click(IDC_FRAME_TERMS_OK);
  if (!walk.page(SetupPage::Offers)) return;
  walk.shot("10-offers-after-toolbar-terms");
  run.click(IDC_OFFERS_PLUGIN_TERMS);
  if (!walk.page(SetupPage::Terms)) return;
  walk.shot("11-plugin-terms");
  run.click(IDC_FRAME_TERMS_OK);
  if (!walk.page(SetupPage::Offers)) return;
  walk.shot("12-offers-after-plugin-terms");

  finish(walk, run, "13-complete");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  if (argc < 3 || (std::wcscmp(argv[1], L"defaults") != 0 && std::wcscmp(argv[1], L"review") != 0)) {
    std::fprintf(stderr, "usage: walkthrough defaults|review HANDSHAKE_FOLDER [setup arguments]\n");
    return 2;
  }
  std::wstring arguments;
  for (int i = 3; i < argc; ++i) arguments += (i > 3 ? L" " : L"") + std::wstring(argv[i]);

  SetupRun run;
  if (!run.start(arguments)) {
    say("walkthrough: the setup could not be started: " + utf8Of(setupProgramPath()));
    return 1;
  }
  if (run.waitForFrame() == nullptr) {
    say("walkthrough: no wizard appeared; setup exit code " + std::to_string(run.exitCode()));
    return 1;
  }
  Walk walk(argv[2], run);
  if (std::wcscmp(argv[1], L"review") == 0)
    walkReview(walk, run);
  else
    walkDefaults(walk, run);

  // A walk that stopped half-way leaves the setup running: SetupRun ends it.
  const DWORD code = run.waitForExit(walk.failed() ? 0 : 60000);
  if (code == STILL_ACTIVE)
    say(std::string("setup exit code: still running") + (walk.failed() ? " (ended by the walk-through)" : ""));
  else
    say("setup exit code: " + std::to_string(code));
  if (std::wcscmp(argv[1], L"review") == 0 && code == 1 && !walk.failed()) {
    const std::wstring command = entryValue(L"UninstallString");
    if (walk.check(!command.empty(), "the uninstall entry")) walkUninstall(walk, command);
  }
  return walk.failed() || code == STILL_ACTIVE ? 1 : 0;
}
