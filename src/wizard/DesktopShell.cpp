#include "DesktopShell.h"

#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "ScopedHandles.h"

namespace tonvane {

HRESULT openAsDesktopUser(const std::wstring& file) {
  ComPointer<IShellWindows> windows;
  HRESULT result =
      CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.receive());
  if (FAILED(result)) return result;

  // The desktop's own window among the shell's windows.
  VARIANT none;
  VariantInit(&none);
  long window = 0;
  ComPointer<IDispatch> desktop;
  result = windows->FindWindowSW(&none, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                 reinterpret_cast<IDispatch**>(desktop.receive()));
  // S_FALSE: no desktop window is registered.
  if (result != S_OK || !desktop) return FAILED(result) ? result : E_FAIL;

  ComPointer<IServiceProvider> services;
  result = desktop->QueryInterface(IID_IServiceProvider, services.receive());
  if (FAILED(result)) return result;
  ComPointer<IShellBrowser> browser;
  result = services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.receive());
  if (FAILED(result)) return result;
  ComPointer<IShellView> view;
  result = browser->QueryActiveShellView(reinterpret_cast<IShellView**>(view.receive()));
  if (FAILED(result) || !view) return FAILED(result) ? result : E_FAIL;

  // The view's scripting object, and through it the shell's application
  // object living in the desktop's process.
  ComPointer<IDispatch> viewObject;
  result = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, viewObject.receive());
  if (FAILED(result)) return result;
  ComPointer<IShellFolderViewDual> folderView;
  result = viewObject->QueryInterface(IID_IShellFolderViewDual, folderView.receive());
  if (FAILED(result)) return result;
  ComPointer<IDispatch> application;
  result = folderView->get_Application(reinterpret_cast<IDispatch**>(application.receive()));
  if (FAILED(result) || !application) return FAILED(result) ? result : E_FAIL;
  ComPointer<IShellDispatch2> shell;
  result = application->QueryInterface(IID_IShellDispatch2, shell.receive());
  if (FAILED(result)) return result;

  const SystemString target(file);
  const SystemString verb(L"open");
  if (!target || !verb) return E_OUTOFMEMORY;
  VARIANT operation;
  VariantInit(&operation);
  operation.vt = VT_BSTR;
  operation.bstrVal = verb.get();
  VARIANT show;
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  // The strings stay owned here: the variants only lend them for the call.
  return shell->ShellExecute(target.get(), none, none, operation, show);
}

}  // namespace tonvane
