#include "DialogBinding.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "CriticalSection.h"

namespace tonvane {

namespace {

struct PendingCreation {
  DialogBinding* object;
  DWORD threadId;
};

// Process-wide: a page may in principle be created on another thread than the
// frame, and each creation must find its own object.
struct PendingList {
  CriticalSection lock;
  std::vector<PendingCreation> entries;  // newest first
};

PendingList& pendingList() {
  static PendingList list;
  return list;
}

// DWLP_USER of a window whose binding has ended. Such a window never takes
// a pending object: one created later on this thread must get it.
const LONG_PTR kUnbound = 1;

// Messages whose result is the dialog procedure's return value itself rather
// than DWLP_MSGRESULT.
bool returnsResultDirectly(UINT message) {
  switch (message) {
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
      return true;
    default:
      return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
  }
}

}  // namespace

DialogBinding::~DialogBinding() {
  cancelPendingBinding();
  if (window_ != nullptr && IsWindow(window_) &&
      reinterpret_cast<DialogBinding*>(GetWindowLongPtrW(window_, DWLP_USER)) == this)
    SetWindowLongPtrW(window_, DWLP_USER, kUnbound);
}

bool DialogBinding::prepareBinding() {
  if (window_ != nullptr && IsWindow(window_)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return false;
  }
  PendingList& list = pendingList();
  ScopedLock hold(list.lock);
  try {
    list.entries.insert(list.entries.begin(), PendingCreation{this, GetCurrentThreadId()});
  } catch (const std::exception&) {
    SetLastError(ERROR_OUTOFMEMORY);
    return false;
  }
  return true;
}

void DialogBinding::cancelPendingBinding() {
  PendingList& list = pendingList();
  ScopedLock hold(list.lock);
  list.entries.erase(std::remove_if(list.entries.begin(), list.entries.end(),
                                    [this](const PendingCreation& entry) { return entry.object == this; }),
                     list.entries.end());
}

bool DialogBinding::isPending() const {
  PendingList& list = pendingList();
  ScopedLock hold(list.lock);
  return std::any_of(list.entries.begin(), list.entries.end(),
                     [this](const PendingCreation& entry) { return entry.object == this; });
}

DialogBinding* DialogBinding::takePending(DWORD threadId) {
  PendingList& list = pendingList();
  ScopedLock hold(list.lock);
  const auto found = std::find_if(list.entries.begin(), list.entries.end(),
                                  [threadId](const PendingCreation& entry) { return entry.threadId == threadId; });
  if (found == list.entries.end()) return nullptr;
  DialogBinding* object = found->object;
  list.entries.erase(found);
  return object;
}

DialogBinding* DialogBinding::boundObject(HWND window) {
  if (window == nullptr || !IsWindow(window)) return nullptr;
  const LONG_PTR value = GetWindowLongPtrW(window, DWLP_USER);
  return value == kUnbound ? nullptr : reinterpret_cast<DialogBinding*>(value);
}

INT_PTR CALLBACK DialogBinding::bindingDialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const LONG_PTR value = GetWindowLongPtrW(window, DWLP_USER);
  if (value == kUnbound) return FALSE;
  auto* object = reinterpret_cast<DialogBinding*>(value);
  if (object == nullptr) {
    if (message == WM_NCDESTROY) return FALSE;
    object = takePending(GetCurrentThreadId());
    if (object == nullptr) return FALSE;
    object->window_ = window;
    object->destroyed_ = false;
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(object));
  }
  return object->handleMessage(window, message, wParam, lParam);
}

INT_PTR DialogBinding::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG processing = {};
  processing.hwnd = window;
  processing.message = message;
  processing.wParam = wParam;
  processing.lParam = lParam;
  const MSG* outer = currentMessage_;
  currentMessage_ = &processing;

  LRESULT result = 0;
  const bool handled = processWindowMessage(window, message, wParam, lParam, result, 0);
  // The binding ends with WM_NCDESTROY whether or not the object handled it:
  // the window is gone afterwards and must not keep pointing at the object.
  if (message == WM_NCDESTROY) destroyed_ = true;

  currentMessage_ = outer;
  INT_PTR answer = FALSE;
  if (handled) {
    if (returnsResultDirectly(message)) {
      answer = static_cast<INT_PTR>(result);
    } else {
      if (!destroyed_) SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
      answer = TRUE;
    }
  }

  if (destroyed_ && currentMessage_ == nullptr) {
    SetWindowLongPtrW(window, DWLP_USER, kUnbound);
    window_ = nullptr;
    destroyed_ = false;
    onFinalMessage(window);
  }
  return answer;
}

HWND createBoundDialog(DialogBinding& object, unsigned templateId, HWND parent, LPARAM parameter) {
  if (!object.prepareBinding()) return nullptr;
  HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), parent,
                                   &DialogBinding::bindingDialogProcedure, parameter);
  // A failed creation (or, in principle, one whose dialog never received a
  // message) must not leave the object pending: the next dialog created on
  // this thread would be bound to it. Keep the creation's own error.
  const DWORD error = GetLastError();
  object.cancelPendingBinding();
  SetLastError(error);
  return window;
}

}  // namespace tonvane
