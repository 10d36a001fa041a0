// Builds ZIP archives at run time with minizip's writer, so the extraction
// tests need no binary fixtures and can hold names no real archiver would.
#pragma once

#include <string>

namespace tonvane::test {

enum class Method { Stored = 0, Deflated = 8 };

class ZipBuilder {
 public:
  // With appendToFile the archive follows the bytes already in the file.
  explicit ZipBuilder(const std::wstring& path, bool appendToFile = false);
  ~ZipBuilder();
  ZipBuilder(const ZipBuilder&) = delete;
  ZipBuilder& operator=(const ZipBuilder&) = delete;

  // `name` is stored byte for byte, as archives hold it.
  ZipBuilder& add(const std::string& name, const std::string& data, Method method = Method::Deflated);
  void close();

 private:
  void* zip_;
};

// Byte offset in the archive file of an entry's data, found by reading the
// archive back; -1 when the entry is missing.
long long entryDataOffset(const std::wstring& archive, const std::string& name);

// Offset of the n-th (from 0) central directory record; -1 when missing.
long long centralRecordOffset(const std::string& archiveBytes, int index);

// Text that deflates well but not into nothing: numbered lines.
std::string numberedLines(int count, const std::string& prefix = "line");

}  // namespace tonvane::test
