#include "SetupDriver.h"

#include <cstdio>
#include <utility>

#include "ProcessWindows.h"
#include "TestFiles.h"

namespace tonvane::test {

namespace {

constexpr DWORD kSendTimeout = 5000;
constexpr int kMessageBoxTextId = 0xFFFF;

bool isVisible(HWND window) { return window != nullptr && (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

}  // namespace

const char* pageName(SetupPage page) {
  static const std::pair<SetupPage, const char*> kNames[] = {
      {SetupPage::None, "none"},           {SetupPage::Welcome, "Welcome"},   {SetupPage::Folder, "Folder"},
      {SetupPage::Shortcuts, "Shortcuts"}, {SetupPage::Progress, "Progress"}, {SetupPage::Offers, "Offers"},
      {SetupPage::Complete, "Complete"},   {SetupPage::Terms, "Terms"}};
  for (const auto& name : kNames)
    if (name.first == page) return name.second;
  return "?";
}

std::wstring setupProgramPath() { return winePathOfUnixPath(TONVANE_SETUP_PROGRAM); }

std::string setupResource(const wchar_t* type, unsigned id) {
  HMODULE setup = LoadLibraryExW(setupProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (setup == nullptr) return std::string();
  std::string bytes;
  if (HRSRC found = FindResourceW(setup, MAKEINTRESOURCEW(id), type)) {
    const char* data = static_cast<const char*>(LockResource(LoadResource(setup, found)));
    if (data != nullptr) bytes.assign(data, SizeofResource(setup, found));
  }
  FreeLibrary(setup);
  return bytes;
}

bool waitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(50);
  }
}

std::wstring windowText(HWND window) {
  if (window == nullptr) return L"";
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &length)) return L"";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG,
                           kSendTimeout, &copied))
    return L"";
  text.resize(copied);
  return text;
}

SetupRun::~SetupRun() {
  if (process_ != nullptr && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 0xDEAD);
    WaitForSingleObject(process_.get(), 10000);
  }
}

bool SetupRun::start(const std::wstring& arguments, const std::wstring& program, const std::wstring& environmentBlock,
                     const std::wstring& workingFolder) {
  const std::wstring path = program.empty() ? setupProgramPath() : program;
  std::wstring commandLine = L"\"" + path + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  return launch(path.c_str(), commandLine, environmentBlock, workingFolder);
}

bool SetupRun::startCommandLine(const std::wstring& commandLine) { return launch(nullptr, commandLine, L"", L""); }

bool SetupRun::launch(const wchar_t* program, std::wstring commandLine, const std::wstring& environmentBlock,
                      const std::wstring& workingFolder) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  void* environment = environmentBlock.empty() ? nullptr : const_cast<wchar_t*>(environmentBlock.c_str());
  if (!CreateProcessW(program, &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, environment,
                      workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info)) {
    // The callers only see false; the system's reason goes to the test's
    // output, where a run that fails once and then passes can be read.
    std::fprintf(stderr, "SetupRun: CreateProcessW(%ls) failed with error %lu\n", commandLine.c_str(),
                 static_cast<unsigned long>(GetLastError()));
    return false;
  }
  CloseHandle(info.hThread);
  process_.reset(info.hProcess);
  processId_ = info.dwProcessId;
  return true;
}

std::vector<HWND> SetupRun::visibleWindows() { return topLevelWindows(processId_, true); }

HWND SetupRun::waitForFrame(DWORD milliseconds) {
  waitUntil(
      [this] {
        for (HWND window : visibleDialogs(processId_)) {
          if (GetDlgItem(window, IDC_FRAME_PAGE_AREA)) {
            frame_ = window;
            return currentPage() != SetupPage::None;
          }
        }
        return WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
      },
      milliseconds);
  return frame_ != nullptr && currentPage() != SetupPage::None ? frame_ : nullptr;
}

namespace {

// What a child of the page area is, told by the controls it holds.
SetupPage pageKind(HWND child) {
  if (className(child) == L"Edit") return SetupPage::Terms;
  if (GetDlgItem(child, IDC_FOLDER_EDIT)) return SetupPage::Folder;
  if (GetDlgItem(child, IDC_SHORTCUTS_START_MENU)) return SetupPage::Shortcuts;
  if (GetDlgItem(child, IDC_PROGRESS_BAR)) return SetupPage::Progress;
  if (GetDlgItem(child, IDC_OFFERS_PLUGIN)) return SetupPage::Offers;
  if (GetDlgItem(child, IDC_COMPLETE_PRESS_RELEASE)) return SetupPage::Complete;
  return SetupPage::Welcome;
}

// The first child of the frame's page area that passes `wanted`.
HWND findPageChild(HWND frame, const std::function<bool(HWND)>& wanted) {
  HWND area = frame != nullptr ? GetDlgItem(frame, IDC_FRAME_PAGE_AREA) : nullptr;
  if (area == nullptr) return nullptr;
  for (HWND child = GetWindow(area, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    if (wanted(child)) return child;
  return nullptr;
}

}  // namespace

SetupPage SetupRun::currentPage() {
  HWND shown = findPageChild(frame_, [](HWND child) { return isVisible(child); });
  return shown != nullptr ? pageKind(shown) : SetupPage::None;
}

HWND SetupRun::pageWindow(SetupPage page) {
  return findPageChild(frame_, [page](HWND child) { return pageKind(child) == page; });
}

bool SetupRun::waitForPage(SetupPage page, DWORD milliseconds) {
  return waitUntil([&] { return currentPage() == page; }, milliseconds) && settle();
}

bool SetupRun::settle() {
  // The buttons are set by the wizard's idle step, once its queue has run
  // empty. A message sent to the frame is answered when its thread next
  // looks at the queue, which may be before that step; so wait until the
  // frame answers and the button row has stayed the same for a while.
  static const int kButtons[] = {IDC_FRAME_NEXT, IDC_FRAME_BACK,  IDC_FRAME_CANCEL,  IDC_FRAME_YES,
                                 IDC_FRAME_NO,   IDC_FRAME_CLOSE, IDC_FRAME_TERMS_OK};
  auto snapshot = [this] {
    std::wstring row;
    for (int id : kButtons) {
      const ButtonState state = button(id);
      row += state.visible ? (state.enabled ? L'E' : L'D') : L'H';
    }
    return row;
  };
  std::wstring previous;
  int stableRounds = 0;
  for (int round = 0; round < 100 && stableRounds < 4; ++round) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(frame_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 30000, &ignored)) return false;
    Sleep(50);
    const std::wstring row = snapshot();
    stableRounds = row == previous ? stableRounds + 1 : 0;
    previous = row;
  }
  return stableRounds >= 4;
}

HWND SetupRun::control(int id) {
  if (frame_ == nullptr) return nullptr;
  if (HWND page = pageWindow(currentPage())) {
    if (HWND inPage = GetDlgItem(page, id)) return inPage;
  }
  return GetDlgItem(frame_, id);
}

ButtonState SetupRun::button(int id) {
  HWND window = frame_ != nullptr ? GetDlgItem(frame_, id) : nullptr;
  ButtonState state;
  state.visible = isVisible(window);
  state.enabled = window != nullptr && IsWindowEnabled(window);
  return state;
}

bool SetupRun::isChecked(int id) {
  HWND window = control(id);
  DWORD_PTR state = 0;
  return window != nullptr && SendMessageTimeoutW(window, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeout, &state) &&
         state == BST_CHECKED;
}

bool SetupRun::isEnabled(int id) {
  HWND window = control(id);
  return window != nullptr && IsWindowEnabled(window);
}

void SetupRun::click(int id) {
  if (HWND window = control(id)) PostMessageW(window, BM_CLICK, 0, 0);
}

void SetupRun::typeInto(int id, const std::wstring& text) {
  HWND edit = control(id);
  if (edit == nullptr) return;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, kSendTimeout, &ignored);
  // Deletes the selection when the new text is empty.
  if (text.empty()) PostMessageW(edit, WM_CHAR, VK_BACK, 0);
  for (wchar_t character : text) PostMessageW(edit, WM_CHAR, character, 1);
  waitUntil([&] { return windowText(edit) == text; }, 10000);
}

// The frame's unnamed controls have the message text's id 0xFFFF too.
std::vector<HWND> SetupRun::messageBoxes() { return visibleMessageBoxes(processId_, frame_); }

HWND SetupRun::waitForMessageBox(DWORD milliseconds) {
  return test::waitForMessageBox(milliseconds, processId_, frame_);
}

std::wstring SetupRun::messageBoxText(HWND box) { return windowText(GetDlgItem(box, kMessageBoxTextId)); }

std::wstring SetupRun::messageBoxCaption(HWND box) { return windowText(box); }

bool SetupRun::hasButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  return button != nullptr && isVisible(button);
}

bool SetupRun::answer(HWND box, int buttonId) {
  HWND button = GetDlgItem(box, buttonId);
  if (button == nullptr) return false;
  PostMessageW(button, BM_CLICK, 0, 0);
  return waitUntil([box] { return !IsWindow(box) || !isVisible(box); }, 10000);
}

DWORD SetupRun::waitForExit(DWORD milliseconds) {
  if (process_ == nullptr) return STILL_ACTIVE;
  WaitForSingleObject(process_.get(), milliseconds);
  return exitCode();
}

DWORD SetupRun::exitCode() {
  DWORD code = STILL_ACTIVE;
  if (process_ != nullptr) GetExitCodeProcess(process_.get(), &code);
  return code;
}

std::wstring environmentWith(const std::vector<std::wstring>& additions) {
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
    const std::wstring text = entry;
    bool replaced = false;
    for (const std::wstring& addition : additions) {
      const std::size_t equals = addition.find(L'=');
      if (_wcsnicmp(text.c_str(), addition.c_str(), equals + 1) == 0) replaced = true;
    }
    if (!replaced) block += text + L'\0';
  }
  FreeEnvironmentStringsW(strings);
  for (const std::wstring& addition : additions) block += addition + L'\0';
  block += L'\0';
  return block;
}

bool mutexExists(const wchar_t* name) {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name);
  if (mutex == nullptr) return false;
  CloseHandle(mutex);
  return true;
}

}  // namespace tonvane::test
