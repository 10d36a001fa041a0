// The top-level windows of a process, found from any process as the system
// lists them: the one place the tests look for a program's frame, its
// dialogs and its message boxes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tonvane::test {

// The process's top-level windows in the system's order; with `visibleOnly`
// those shown (WS_VISIBLE) only.
std::vector<HWND> topLevelWindows(DWORD processId, bool visibleOnly = false);

// Its visible dialogs (class "#32770"): message boxes, the wizard's frame,
// the shell's folder browser.
std::vector<HWND> visibleDialogs(DWORD processId);

// Its visible message boxes, found the way a user sees them: dialogs holding
// the message text control 0xFFFF, other than `except` (a dialog of the
// program's own whose unnamed static texts have that id too).
std::vector<HWND> visibleMessageBoxes(DWORD processId = GetCurrentProcessId(), HWND except = nullptr);

// The first such message box to appear within the time, or null.
HWND waitForMessageBox(DWORD milliseconds, DWORD processId = GetCurrentProcessId(), HWND except = nullptr);

std::wstring className(HWND window);

}  // namespace tonvane::test
