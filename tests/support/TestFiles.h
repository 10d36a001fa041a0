// Files and folders for tests: a private temporary folder that removes
// itself, whole-file reads and writes of raw bytes, and Unix paths of the
// build tree seen through Wine's Z: drive.
#pragma once

#include <string>
#include <vector>

namespace tonvane::test {

class TempFolder {
 public:
  TempFolder();  // a new, empty folder under the user's temporary folder
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder with a trailing backslash.
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + name; }

 private:
  std::wstring path_;
};

void removeTree(const std::wstring& path);

bool fileExists(const std::wstring& path);
bool folderExists(const std::wstring& path);

// Raw bytes of a file; empty when it cannot be read.
std::string readBytes(const std::wstring& path);
void writeBytes(const std::wstring& path, const std::string& bytes);

// "/a/b" as Wine shows it to a program: "Z:\a\b".
std::wstring winePathOfUnixPath(const std::string& unixPath);

// The value of an environment variable given to the test by ctest, or "".
std::string environment(const char* name);

// Names of the files and folders directly inside a folder.
std::vector<std::wstring> listFolder(const std::wstring& folder);

}  // namespace tonvane::test
