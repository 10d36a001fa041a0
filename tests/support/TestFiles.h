// Files and folders for tests: a private temporary folder that removes
// itself, whole-file reads and writes of raw bytes, and Unix paths of the
// build tree seen through Wine's Z: drive.
#pragma once

#include <map>
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

// Removes the folder and everything in it; a link found inside (a junction,
// a symbolic link) is removed itself, never followed.
void removeTree(const std::wstring& path);

bool fileExists(const std::wstring& path);
bool folderExists(const std::wstring& path);

// Raw bytes of a file; empty when it cannot be read.
std::string readBytes(const std::wstring& path);
void writeBytes(const std::wstring& path, const std::string& bytes);

// Writes `file` as large as leaves `left` bytes free on its disk, which must
// be the harness's small disk: false when the disk has no more room than
// that, or more than the small disk can hold (a disk unmounted under a
// run shows the host's room instead).
bool fillDiskLeaving(const std::wstring& file, unsigned long long left);

// "/a/b" as Wine shows it to a program: "Z:\a\b".
std::wstring winePathOfUnixPath(const std::string& unixPath);

// The value of an environment variable given to the test by ctest, or "".
std::string environment(const char* name);

// Names of the files and folders directly inside a folder.
std::vector<std::wstring> listFolder(const std::wstring& folder);

// The files below a folder, in its subfolders too, by their paths relative
// to it ("sub\\name"), with their bytes.
std::map<std::wstring, std::string> filesBelow(const std::wstring& folder);

// The Unix path Wine keeps a Windows path at; "" outside Wine.
std::string unixPathOf(const std::wstring& path);

// The text in UTF-8, as the setup log and test messages hold it.
std::string utf8Of(const std::wstring& text);

// Runs a Linux shell command (sh -c) and waits up to `limit` ms for it to
// end; its exit code, or -1 when it could not be started or did not end.
// Wine starts a Linux program from its Z: drive but gives no handle to wait
// on, so the command leaves its exit code in a file under /tmp.
int runUnixShell(const std::string& script, unsigned long limit = 30000);

// A link at `link` (a name that does not exist yet) to the folder
// `target`, which programs then follow as they follow a junction: a real
// junction where the system makes one, else a Unix symbolic link, which
// Wine 8 reports as a reparse point and resolves as Windows resolves a
// junction. False when neither can be made.
bool makeFolderLink(const std::wstring& link, const std::wstring& target);

// The rights that the access list of `path`, read back with the system's
// security API, grants to ordinary users: Everyone, Users, Authenticated
// Users, Interactive (file-specific and standard rights, generic rights
// mapped). ~0 when the list cannot be read or is null (everyone may do
// everything).
unsigned long ordinaryUserRights(const std::wstring& path);

// Rights with which an ordinary user could rename, replace or delete what
// lies in a folder that is not theirs: what the parent of a private folder
// must not grant. (The system's temporary folder lets users add folders of
// their own, but not touch anybody else's.)
constexpr unsigned long kReplacingRights =
    0x00010000L /* DELETE */ | 0x00040000L /* WRITE_DAC */ | 0x00080000L /* WRITE_OWNER */ | 0x0040 /* DELETE_CHILD */;

// Rights with which an ordinary user could rename, replace, delete or add
// to what lies at or under a path.
constexpr unsigned long kChangingRights = 0x00010000L /* DELETE */ | 0x00040000L /* WRITE_DAC */ |
                                          0x00080000L /* WRITE_OWNER */ | 0x0002 /* ADD_FILE, WRITE_DATA */ |
                                          0x0004 /* ADD_SUBDIRECTORY, APPEND_DATA */ | 0x0040 /* DELETE_CHILD */ |
                                          0x0100 /* WRITE_ATTRIBUTES */;

}  // namespace tonvane::test
