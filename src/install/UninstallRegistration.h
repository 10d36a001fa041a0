// The product's entry in the system's list of installed programs, the
// lookup of entries by display name, and the removal of older releases that
// the Windows Installer registered under their product codes.
#pragma once

#include <windows.h>

#include <ctime>
#include <functional>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ProductIdentity.h"

namespace tonvane {

// The entry this setup writes is kUninstallRoot + kProductName, with
// kProductName as its display name (ProductIdentity.h).

// An empty field stands for an absent value: it is never written, and a
// value that cannot be read leaves its field as it was.
struct UninstallEntry {
  std::wstring keyName;  // the subkey under kUninstallRoot
  std::wstring helpLink;
  std::wstring uninstallString;
  std::wstring displayIcon;
  std::wstring displayName;
  std::wstring displayVersion;
  std::wstring installDate;  // "YYYYMMDD"
  std::wstring publisher;
  std::wstring urlInfoAbout;
  std::wstring installSource;
  std::wstring installLocation;
  // What the system's list of programs reads besides: the uninstall command
  // for scripts (no question, no window), the size in kilobytes, and that
  // the product offers neither a change nor a repair.
  std::wstring quietUninstallString;
  std::optional<std::uint32_t> estimatedSizeKb;  // REG_DWORD "EstimatedSize"
  std::optional<std::uint32_t> noModify;         // REG_DWORD "NoModify"
  std::optional<std::uint32_t> noRepair;         // REG_DWORD "NoRepair"
};

// Every field but keyName empty.
UninstallEntry makeUninstallEntry(const std::wstring& keyName);

// installDate from the local calendar date at `when` (by default now),
// formatted "%04d%02d%02d"; empty when the time cannot be converted.
void stampInstallDate(UninstallEntry& entry, __time64_t when = _time64(nullptr));

// Asked before each value is written, with its name; false stops the write
// (the tests' seam into the install's steps).
using ValueGate = std::function<bool(const wchar_t* valueName)>;

// Stamps the install date, then creates or opens the key and writes every
// non-empty text field as REG_SZ (terminator included) and every number
// that is set as REG_DWORD. Values of the key that the record does not hold
// are kept. False for an empty keyName (nothing touched), and false as soon
// as the key cannot be created or a value cannot be written (or `gate`
// refuses it): the values written before stay, for the caller to take back
// (restoreUninstallEntry).
bool writeUninstallEntry(UninstallEntry& entry, const ValueGate& gate = ValueGate());

// Every value of an entry's key as it is stored, to put it back after a
// failed install.
struct RegistrySnapshot {
  struct Value {
    std::wstring name;
    DWORD type = 0;
    std::vector<BYTE> data;
  };
  bool existed = false;
  bool complete = true;  // false when a value could not be read
  std::vector<Value> values;
};

RegistrySnapshot snapshotUninstallEntry(const std::wstring& keyName);

// Puts the key back as the snapshot has it: deleted when it did not exist,
// else every value it holds now that the snapshot lacks deleted and every
// value of the snapshot written back. False when some part failed.
bool restoreUninstallEntry(const std::wstring& keyName, const RegistrySnapshot& snapshot);

// Reads the values of the entry's key into its fields (a number only when
// it is stored as REG_DWORD). The key is opened
// for reading and writing, as it was created. False, with the fields
// unchanged, when the key cannot be opened.
bool readUninstallEntry(UninstallEntry& entry);

// From `position` on, the first subkey of kUninstallRoot whose
// "DisplayName" equals `displayName` exactly (letter case included);
// `position` is left at that subkey. "" when none is found or on any error.
std::wstring findUninstallKeyByDisplayName(std::uint32_t& position, const std::wstring& displayName);

// Removes, one after the other and waiting for each, the older releases
// registered under a product code with the display name kProductName, by
// running the Windows Installer's passive uninstall (its progress bar only;
// `quiet`: no window at all) without a restart. The entry named
// kProductName (this setup's own) is left alone. Failures are not shown;
// each run and its exit code go to the setup log.
void uninstallPreviousVersions(bool quiet = false);

// Deletes the entry's key (it holds values only). False when it cannot be
// deleted; an absent key counts as deleted.
bool deleteUninstallEntry(const std::wstring& keyName);

}  // namespace tonvane
