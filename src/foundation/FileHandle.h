// One open file. Results report failure (false, a count of 0), the last
// error left as the failed call set it; nothing is shown and nothing
// throws. Callers create a fresh object per open.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

#include "ScopedHandles.h"

namespace tonvane {

class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle() { close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // The three ways a file is opened by name (CreateFileW; on failure the
  // file held before stays open and the last error is CreateFileW's):
  // a text file read while others may read and write it;
  bool openForReadingText(const std::wstring& path) { return open(path, Mode::ReadShared); }
  // a file read and held against writes meanwhile (others may read it), so
  // that what was read and checked stays what is there;
  bool openHeldForReading(const std::wstring& path) { return open(path, Mode::ReadHeld); }
  // a file created, or emptied, for writing, not shared.
  bool openForCreating(const std::wstring& path) { return open(path, Mode::Create); }

  // A file that must not exist yet (CREATE_NEW), for writing, not shared,
  // with `security` (null: what the folder hands down). A name someone else
  // prepared is never taken over: false, last error ERROR_FILE_EXISTS. The
  // handle may also delete the file (deleteThroughHandle, HeldPath.h), so
  // a file found where it must not lie is removed without going by a name.
  bool createNew(const std::wstring& path, SECURITY_ATTRIBUTES* security);

  // One ReadFile / WriteFile; 0 when closed, at end of file or on failure.
  std::uint32_t read(void* buffer, std::uint32_t length);
  std::uint32_t write(const void* bytes, std::uint32_t length);

  // Every byte or failure: a short write (a full disk) is false, whatever
  // part of the bytes reached the file.
  bool writeAll(const void* bytes, std::size_t length);

  // 0 when the size cannot be read.
  std::uint64_t size() const;

  // Safe to repeat.
  void close();
  // Hands the open handle over (to be closed by its new owner).
  KernelHandle release() {
    path_.clear();
    return std::move(handle_);
  }

  // The whole rest of the file, decoded from the ANSI code page. False (the
  // output untouched) when closed or chunkSize <= 0; false with an empty
  // output when nothing was read or it decodes to nothing.
  bool readAllText(std::int32_t chunkSize, std::wstring& text);

  // The text in the ANSI code page without terminator, all of it
  // (writeAll); false for an empty text, a closed file, or when not every
  // byte was written.
  bool writeText(const std::wstring& text);

  bool isOpen() const { return handle_.valid(); }
  const std::wstring& path() const { return path_; }
  // For the calls this class does not wrap (the final path, deletion).
  HANDLE get() const { return handle_.get(); }

 private:
  enum class Mode { ReadShared, ReadHeld, Create };
  bool open(const std::wstring& path, Mode mode);
  // Takes an opened handle in place of the one held; false for none.
  bool hold(KernelHandle opened, const std::wstring& path);

  KernelHandle handle_;
  std::wstring path_;
};

}  // namespace tonvane
