// The setup log an administrator asks for with "/LOG=<file>": what a run
// did, step by step, for reading after a silent install or a failed one.
// Without that option nothing is written anywhere.
//
// The file is UTF-8 with a byte-order mark (so that an old Notepad shows the
// Japanese texts), lines end with CR LF, and every line begins with the
// local time:
//
//   16:02:11.204 Tonvane Free Setup 5.2.1.1, started 2026-12-08 16:02:11
//   16:02:11.204 Command line: "D:\TonvaneSetup.exe" /S /LOG=D:\setup.log
//   16:02:11.205 System language 0x0411, user interface language 0x0411, ANSI code page 932
//   16:02:12.530 Older release {…}: msiexec /x ended with exit code 0
//   16:02:13.010 Install folder: C:\Program Files\Tonvane Free\ (all users)
//   ...
//   16:02:15.377 Exit code 0
//
// Lines come from the main thread and from worker threads alike; each is
// written whole, in the order the calls took the log's lock, and reaches
// the file before the call returns, so a setup that is ended by force
// leaves everything up to its last step.
#pragma once

#include <string>

namespace tonvane {

// Creates the log at `path`, or empties the file there, and keeps it open,
// shared for reading only, until closeSetupLog. A second copy of the setup
// given the same file cannot open it and leaves it as it is.
//
// The setup runs with administrator rights and `path` is only what the user
// typed. Only a file on a drive ("C:\...") or on a share
// ("\\server\share\...") is written, a relative path taken from the
// current folder. Device, verbatim and object-namespace forms ("\\.\",
// "\\?\", "\??\", with either slash), pipes and mailslots (also
// "\\server\pipe\...") and device names are refused from the text, before
// anything is opened. A symbolic link or junction at that name or at any
// folder on the way, a file with more than one name (a hard link planted
// to a system file), a folder or anything but a plain disk file is refused
// before a byte of it changes. Missing folders are not made. False when no
// log could be opened (a log opened before stays open).
bool openSetupLog(const std::wstring& path);

// Whether a log is open.
bool setupLogOpen();

// Appends one line (line breaks inside `text` are kept as given); nothing
// happens when no log is open. A write that fails is not reported: a log
// must never stop an install.
void setupLog(const std::wstring& text);

// Closes the log; later lines are dropped.
void closeSetupLog();

// Codes and language ids as the lines carry them (numbers in decimal are
// decimalText's): "0x" followed by at least four hexadecimal digits.
std::wstring logHex(unsigned long value);

}  // namespace tonvane
