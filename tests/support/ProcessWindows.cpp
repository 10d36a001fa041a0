#include "ProcessWindows.h"

#include <algorithm>

namespace tonvane::test {

namespace {

constexpr int kMessageTextId = 0xFFFF;

struct Search {
  DWORD processId;
  std::vector<HWND> windows;
};

BOOL CALLBACK collect(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId) search->windows.push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> topLevelWindows(DWORD processId, bool visibleOnly) {
  Search search{processId, {}};
  EnumWindows(&collect, reinterpret_cast<LPARAM>(&search));
  if (visibleOnly)
    search.windows.erase(std::remove_if(search.windows.begin(), search.windows.end(),
                                        [](HWND window) { return !(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE); }),
                         search.windows.end());
  return search.windows;
}

std::vector<HWND> visibleDialogs(DWORD processId) {
  std::vector<HWND> dialogs;
  for (HWND window : topLevelWindows(processId, true))
    if (className(window) == L"#32770") dialogs.push_back(window);
  return dialogs;
}

std::vector<HWND> visibleMessageBoxes(DWORD processId, HWND except) {
  std::vector<HWND> boxes;
  for (HWND dialog : visibleDialogs(processId))
    if (dialog != except && GetDlgItem(dialog, kMessageTextId) != nullptr) boxes.push_back(dialog);
  return boxes;
}

HWND waitForMessageBox(DWORD milliseconds, DWORD processId, HWND except) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    const std::vector<HWND> boxes = visibleMessageBoxes(processId, except);
    if (!boxes.empty()) return boxes.front();
    if (GetTickCount64() >= deadline) return nullptr;
    Sleep(20);
  }
}

std::wstring className(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

}  // namespace tonvane::test
