// Small owners of one platform object each: a kernel handle, a find handle,
// a GDI object and its selection into a device context, device contexts,
// memory the system allocated for us, a loaded library, COM on a thread, a
// COM interface pointer and an Automation text.
//
// Every instruction of ours may throw (processor faults become C++ throws
// on a guarded thread, FaultTranslator.h; failed allocations throw
// everywhere), so a close written at the end of a function is skipped when
// something between throws. An owner closes in its destructor, on every way
// out. Owners cannot be copied; the handle-shaped ones can be moved. Nothing
// here throws or shows anything; close() gives the platform's answer.
//
// The owners of one file (FileHandle.h) and one registry key
// (RegistryKey.h) live in files of their own, the file's on top of
// KernelHandle.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <ole2.h>

#include <cstddef>
#include <string>

namespace tonvane {

// One handle of a kind described by Traits:
//   using Handle = ...;                  the platform's handle type
//   static Handle none();                what an empty owner holds
//   static bool isNone(Handle handle);   also true for other "no handle" values
//   static bool close(Handle handle);    the platform's close; true on success
template <typename Traits>
class ScopedResource {
 public:
  using Handle = typename Traits::Handle;

  ScopedResource() = default;
  explicit ScopedResource(Handle handle) : handle_(handle) {}
  ~ScopedResource() { close(); }
  ScopedResource(ScopedResource&& other) noexcept : handle_(other.release()) {}
  ScopedResource& operator=(ScopedResource&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ScopedResource(const ScopedResource&) = delete;
  ScopedResource& operator=(const ScopedResource&) = delete;

  Handle get() const { return handle_; }
  bool valid() const { return !Traits::isNone(handle_); }
  explicit operator bool() const { return valid(); }

  // Closes what is held, then holds `handle`.
  void reset(Handle handle = Traits::none()) {
    close();
    handle_ = handle;
  }

  // Hands the handle over without closing it; the owner is empty after.
  Handle release() {
    const Handle handle = handle_;
    handle_ = Traits::none();
    return handle;
  }

  // The platform's answer to the close; true when nothing was held. The
  // owner is empty after, whatever the answer. Safe to repeat.
  bool close() {
    if (!valid()) {
      handle_ = Traits::none();
      return true;
    }
    const bool closed = Traits::close(handle_);
    handle_ = Traits::none();
    return closed;
  }

  // For an out-parameter: closes what is held and hands out the slot.
  Handle* receive() {
    close();
    return &handle_;
  }

  friend bool operator==(const ScopedResource& owner, std::nullptr_t) { return !owner.valid(); }
  friend bool operator!=(const ScopedResource& owner, std::nullptr_t) { return owner.valid(); }

 private:
  Handle handle_ = Traits::none();
};

// A kernel object: a file, process, thread, mutex, access token. Both null
// and INVALID_HANDLE_VALUE mean none: CreateFileW answers a failure with
// the one, most other calls with the other.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static HANDLE none() { return nullptr; }
  static bool isNone(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }
  static bool close(HANDLE handle) { return CloseHandle(handle) != FALSE; }
};
using KernelHandle = ScopedResource<KernelHandleTraits>;

// A FindFirstFileW search.
struct FindHandleTraits {
  using Handle = HANDLE;
  static HANDLE none() { return INVALID_HANDLE_VALUE; }
  static bool isNone(HANDLE handle) { return handle == INVALID_HANDLE_VALUE || handle == nullptr; }
  static bool close(HANDLE handle) { return FindClose(handle) != FALSE; }
};

// The entries of a folder matching a pattern ("C:\Folder\*.lnk"), "." and
// ".." included, in the file system's order:
//   for (FolderSearch search(pattern); search.found(); search.next()) use(search.entry());
class FolderSearch {
 public:
  explicit FolderSearch(const std::wstring& pattern) : search_(FindFirstFileW(pattern.c_str(), &entry_)) {}

  // False once the search has run out (or never found anything).
  bool found() const { return search_.valid(); }
  const WIN32_FIND_DATAW& entry() const { return entry_; }
  // Moves to the next entry; the search ends when there is none.
  void next() {
    if (search_.valid() && !FindNextFileW(search_.get(), &entry_)) search_.close();
  }

 private:
  WIN32_FIND_DATAW entry_ = {};
  ScopedResource<FindHandleTraits> search_;
};

// A GDI object the program created: a font, a pen, a brush, a bitmap.
template <typename Object>
struct GdiObjectTraits {
  using Handle = Object;
  static Object none() { return nullptr; }
  static bool isNone(Object object) { return object == nullptr; }
  static bool close(Object object) { return DeleteObject(object) != FALSE; }
};
template <typename Object>
using GdiObject = ScopedResource<GdiObjectTraits<Object>>;

// A memory device context the program created (CreateCompatibleDC).
struct MemoryContextTraits {
  using Handle = HDC;
  static HDC none() { return nullptr; }
  static bool isNone(HDC context) { return context == nullptr; }
  static bool close(HDC context) { return DeleteDC(context) != FALSE; }
};
using MemoryContext = ScopedResource<MemoryContextTraits>;

// An object selected into a device context for the owner's life; the object
// selected before comes back at its end. A null object selects nothing. The
// selection must end before the object is deleted: declare the owner of the
// object first.
class GdiSelection {
 public:
  GdiSelection(HDC context, HGDIOBJ object)
      : context_(context), previous_(object != nullptr ? SelectObject(context, object) : nullptr) {}
  ~GdiSelection() {
    if (previous_ != nullptr) SelectObject(context_, previous_);
  }
  GdiSelection(const GdiSelection&) = delete;
  GdiSelection& operator=(const GdiSelection&) = delete;

 private:
  HDC context_;
  HGDIOBJ previous_;
};

// A window's client-area device context (GetDC), released at the end.
class WindowContext {
 public:
  explicit WindowContext(HWND window) : window_(window), context_(GetDC(window)) {}
  ~WindowContext() {
    if (context_ != nullptr) ReleaseDC(window_, context_);
  }
  WindowContext(const WindowContext&) = delete;
  WindowContext& operator=(const WindowContext&) = delete;

  // Null when the window's context cannot be had.
  HDC get() const { return context_; }

 private:
  HWND window_;
  HDC context_;
};

// The screen's device context (GetDC of no window), released at the end.
class ScreenContext : public WindowContext {
 public:
  ScreenContext() : WindowContext(nullptr) {}
};

// WM_PAINT's device context: BeginPaint here, EndPaint at the end, so the
// update region is validated on every way out.
class PaintContext {
 public:
  explicit PaintContext(HWND window) : window_(window), context_(BeginPaint(window, &paint_)) {}
  ~PaintContext() {
    if (context_ != nullptr) EndPaint(window_, &paint_);
  }
  PaintContext(const PaintContext&) = delete;
  PaintContext& operator=(const PaintContext&) = delete;

  // Null when BeginPaint failed.
  HDC get() const { return context_; }
  const PAINTSTRUCT& paint() const { return paint_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_ = {};
  HDC context_;
};

// Memory the system allocated with LocalAlloc for the caller
// (CommandLineToArgvW, FormatMessageW with FORMAT_MESSAGE_ALLOCATE_BUFFER,
// security descriptors made from text).
template <typename Pointer>
struct LocalMemoryTraits {
  using Handle = Pointer;
  static Pointer none() { return nullptr; }
  static bool isNone(Pointer pointer) { return pointer == nullptr; }
  static bool close(Pointer pointer) { return LocalFree(reinterpret_cast<HLOCAL>(pointer)) == nullptr; }
};
template <typename Pointer>
using LocalMemory = ScopedResource<LocalMemoryTraits<Pointer>>;

// Memory the shell or COM allocated with CoTaskMemAlloc (an item id list).
template <typename Pointer>
struct TaskMemoryTraits {
  using Handle = Pointer;
  static Pointer none() { return nullptr; }
  static bool isNone(Pointer pointer) { return pointer == nullptr; }
  static bool close(Pointer pointer) {
    CoTaskMemFree(const_cast<void*>(static_cast<const void*>(pointer)));
    return true;
  }
};
template <typename Pointer>
using TaskMemory = ScopedResource<TaskMemoryTraits<Pointer>>;

// A security identifier from AllocateAndInitializeSid.
struct AllocatedSidTraits {
  using Handle = PSID;
  static PSID none() { return nullptr; }
  static bool isNone(PSID sid) { return sid == nullptr; }
  static bool close(PSID sid) { return FreeSid(sid) == nullptr; }
};
using AllocatedSid = ScopedResource<AllocatedSidTraits>;

// A reference to a loaded library, given back with FreeLibrary.
struct LibraryReferenceTraits {
  using Handle = HMODULE;
  static HMODULE none() { return nullptr; }
  static bool isNone(HMODULE module) { return module == nullptr; }
  static bool close(HMODULE module) { return FreeLibrary(module) != FALSE; }
};
using LibraryReference = ScopedResource<LibraryReferenceTraits>;

// COM on the calling thread, apartment-threaded, for the owner's life. A
// thread that already runs COM in another mode keeps that mode, and then
// nothing is undone at the end.
class ComInitialization {
 public:
  ComInitialization() : result_(CoInitialize(nullptr)) {}
  ~ComInitialization() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;

  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

// OLE on the calling thread (what the shell's dialogs that host OLE objects
// need), for the owner's life; undone only when it was done here.
class OleInitialization {
 public:
  OleInitialization() : result_(OleInitialize(nullptr)) {}
  ~OleInitialization() {
    if (SUCCEEDED(result_)) OleUninitialize();
  }
  OleInitialization(const OleInitialization&) = delete;
  OleInitialization& operator=(const OleInitialization&) = delete;

  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

// One COM interface pointer, released once.
template <typename Interface>
class ComPointer {
 public:
  ComPointer() = default;
  ~ComPointer() { reset(); }
  ComPointer(const ComPointer&) = delete;
  ComPointer& operator=(const ComPointer&) = delete;

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // For an out-parameter: releases what is held and hands out the slot.
  void** receive() {
    reset();
    return reinterpret_cast<void**>(&pointer_);
  }

  void reset() {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  Interface* pointer_ = nullptr;
};

// A text the system allocated for Automation (a BSTR), freed once. The
// user links oleaut32.
class SystemString {
 public:
  SystemString() = default;
  explicit SystemString(const std::wstring& text)
      : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~SystemString() { SysFreeString(text_); }
  SystemString(const SystemString&) = delete;
  SystemString& operator=(const SystemString&) = delete;

  // Null when the allocation failed (or for an empty owner).
  BSTR get() const { return text_; }
  explicit operator bool() const { return text_ != nullptr; }

 private:
  BSTR text_ = nullptr;
};

}  // namespace tonvane
