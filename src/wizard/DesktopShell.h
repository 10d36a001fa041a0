// Opening a file or web address as the desktop's user rather than as this
// process. An elevated setup that called ShellExecute itself would start the
// user's browser as administrator, with the administrator's profile and
// rights, for a page from the internet. The shell that runs the desktop
// runs unelevated, as the user who logged on; asked through its desktop
// folder view, it starts the program in its own context.
#pragma once

#include <windows.h>

#include <string>

namespace tonvane {

// Asks the desktop's shell (the desktop folder view's Shell.Application,
// IShellDispatch2::ShellExecute) to open `file` with the "open" verb. S_OK
// when the shell took the request; it reports no more than that, and the
// program is started by the shell's process. A failure when the calling
// thread runs no COM, no shell runs the desktop, or it offers no folder
// view (another shell, a service's session); nothing is started then. COM
// must be initialised on the calling thread, apartment-threaded.
HRESULT openAsDesktopUser(const std::wstring& file);

}  // namespace tonvane
