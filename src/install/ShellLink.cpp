#include "ShellLink.h"

#include <objidl.h>
#include <shlobj.h>

#include <cstring>

#include "ScopedHandles.h"

namespace tonvane {

std::wstring specialFolderPath(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, TRUE)) return std::wstring();
  return buffer;
}

bool createShortcut(const std::wstring& target, const std::wstring& linkPath, const std::wstring& description,
                    const std::wstring& arguments) {
  ComPointer<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.receive())))
    return false;
  ComPointer<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.receive()))) return false;

  // S_FALSE from SetPath (a target that does not exist yet) still sets it.
  if (FAILED(link->SetPath(target.c_str()))) return false;
  if (FAILED(link->SetDescription(description.c_str()))) return false;
  if (!arguments.empty() && FAILED(link->SetArguments(arguments.c_str()))) return false;
  return SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
}

namespace {

std::wstring rawTarget(IShellLinkW* link) {
  wchar_t target[MAX_PATH] = {};
  // Raw: a link's target is compared as it was written, not resolved.
  if (link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH) != S_OK) return std::wstring();
  return target;
}

}  // namespace

std::wstring shortcutTarget(const std::wstring& linkPath) {
  ComPointer<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.receive())))
    return std::wstring();
  ComPointer<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.receive()))) return std::wstring();
  if (FAILED(file->Load(linkPath.c_str(), STGM_READ))) return std::wstring();
  return rawTarget(link.get());
}

std::wstring shortcutTargetOfBytes(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  // A stream over memory of ole32's own, which the setup imports already.
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (memory == nullptr) return std::wstring();
  void* place = GlobalLock(memory);
  if (place == nullptr) {
    GlobalFree(memory);
    return std::wstring();
  }
  std::memcpy(place, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  ComPointer<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, reinterpret_cast<IStream**>(stream.receive())))) {
    GlobalFree(memory);
    return std::wstring();
  }

  ComPointer<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.receive())))
    return std::wstring();
  ComPointer<IPersistStream> persist;
  if (FAILED(link->QueryInterface(IID_IPersistStream, persist.receive()))) return std::wstring();
  if (FAILED(persist->Load(stream.get()))) return std::wstring();
  return rawTarget(link.get());
}

}  // namespace tonvane
