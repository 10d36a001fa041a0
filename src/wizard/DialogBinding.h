// Binds a dialog window to the object that handles its messages. A controller
// (the frame's, each page's) derives from DialogBinding and creates its dialog
// with bindingDialogProcedure. Before the creation the object is put on a
// process-wide list of pending creations; the first message that reaches the
// new dialog on the same thread takes the object off the list and binds the
// window to it, and from then on every message of the window goes to the
// object's processWindowMessage, until WM_NCDESTROY ends the binding.
#pragma once

#include <windows.h>

namespace tonvane {

class DialogBinding {
 public:
  DialogBinding() = default;
  // An object that dies before its window unbinds the window first: later
  // messages of that window get the platform's default dialog handling.
  virtual ~DialogBinding();
  DialogBinding(const DialogBinding&) = delete;
  DialogBinding& operator=(const DialogBinding&) = delete;

  // A message of the bound window. True when handled, with its result in
  // `result` (0 unless set). `mapId` is always 0 here.
  virtual bool processWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                    DWORD mapId) = 0;

  // Called once the binding has ended (after WM_NCDESTROY), when the object
  // has already forgotten its window.
  virtual void onFinalMessage(HWND /*window*/) {}

  // The bound window, or null before the first message and after the last.
  HWND window() const { return window_; }

  // The message being processed, or null outside processWindowMessage.
  const MSG* currentMessage() const { return currentMessage_; }

  // Puts the object at the front of the pending creations of the calling
  // thread. False (last error ERROR_OUTOFMEMORY) when the list cannot grow,
  // and false (ERROR_ALREADY_EXISTS) when the object still has a window: one
  // object serves one window at a time.
  bool prepareBinding();

  // Takes the object off the pending creations again; used when the creation
  // failed before any message reached the dialog, so that no later dialog of
  // this thread is bound to it. Safe when it is not pending.
  void cancelPendingBinding();

  // The dialog procedure to create the dialog with.
  static INT_PTR CALLBACK bindingDialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The object bound to a window, or null.
  static DialogBinding* boundObject(HWND window);

  // Whether the object waits on the pending list (for tests and checks).
  bool isPending() const;

 private:
  INT_PTR handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static DialogBinding* takePending(DWORD threadId);

  HWND window_ = nullptr;
  const MSG* currentMessage_ = nullptr;
  bool destroyed_ = false;
};

// Creates a modeless dialog from a template of the program bound to `object`;
// null when the binding cannot be prepared (last error ERROR_OUTOFMEMORY or
// ERROR_ALREADY_EXISTS) or the dialog cannot be created (the object is then
// not left pending).
HWND createBoundDialog(DialogBinding& object, unsigned templateId, HWND parent, LPARAM parameter);

}  // namespace tonvane
