// Run by tests/harness/run once its prefix is ready: exits 0 when another
// process can reach the desktop's shell windows (the object the setup asks
// to open web pages as the desktop's user), 1 when it cannot within ten
// seconds, printing the last answer. A prefix whose desktop came up before
// the COM services could register it never answers, for the whole run.
#include <windows.h>

#include <exdisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cstdio>

namespace {

HRESULT findDesktopWindow() {
  IShellWindows* windows = nullptr;
  HRESULT result = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                    reinterpret_cast<void**>(&windows));
  if (FAILED(result)) return result;
  VARIANT none;
  VariantInit(&none);
  long window = 0;
  IDispatch* desktop = nullptr;
  result = windows->FindWindowSW(&none, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop);
  if (desktop != nullptr) desktop->Release();
  windows->Release();
  return result;
}

}  // namespace

int wmain() {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  // A window of this process starts the desktop's shell, as the setup's
  // frame does.
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  HRESULT result = E_FAIL;
  for (int attempt = 0; attempt < 50; ++attempt) {
    result = findDesktopWindow();
    if (result == S_OK) break;
    Sleep(200);
  }
  if (window != nullptr) DestroyWindow(window);
  if (SUCCEEDED(com)) CoUninitialize();
  if (result == S_OK) return 0;
  std::printf("the desktop's shell windows do not answer: 0x%08lx\n", static_cast<unsigned long>(result));
  return 1;
}
