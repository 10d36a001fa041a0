// The options an administrator gives the setup on its command line, read
// from the whole command line as the process got it. Pure text, no
// platform calls.
//
//   TonvaneSetup.exe [/S] [/NoDesktop] [/NoStartMenu] [/SendTo] [/CurrentUser]
//                    [/Portable] [/AllowDowngrade] [/NoCloseApplications] [/LOG=<file>] [/lang:<code>] [/? | /help]
//                    [/D=<folder>]
//
// Options are told apart without regard to letter case and may come in any
// order, except "/D=", which takes the whole rest of the command line as the
// folder, blanks included (so it comes last, unquoted; quotes around the
// whole folder are taken off). Other arguments are separated by blanks; a
// double quote starts or ends a quoted stretch in which blanks belong to
// the argument, and is itself dropped ("/LOG=C:\My Logs\setup.log" in
// quotes, or /LOG="C:\My Logs\setup.log"). Backslashes are always taken as
// written, so a folder may end with one before a closing quote.
#pragma once

#include <string>
#include <vector>

namespace tonvane {

struct SetupOptions {
  bool silent = false;       // /S
  bool help = false;         // /? or /help
  bool folderGiven = false;  // /D=...
  std::wstring folder;       // as given, not checked
  std::wstring logFile;      // /LOG=..., "" without
  bool noDesktop = false;
  bool noStartMenu = false;
  bool sendTo = false;
  bool currentUser = false;
  bool portable = false;
  // Install over a newer release that is installed (otherwise refused).
  bool allowDowngrade = false;
  // Programs holding files the install replaces are not asked to close.
  bool noCloseApplications = false;
  // Arguments that are none of the above (nor "/lang:"), as written; also
  // "/LOG=" without a file.
  std::vector<std::wstring> unknown;
  // The options that only a silent install reads, as written, for the log
  // of a wizard run that ignores them.
  std::vector<std::wstring> silentOnly;
};

// The options of a command line whose first argument is the program (in
// quotes or up to the first blank, as the system starts programs).
SetupOptions parseSetupOptions(const std::wstring& commandLine);

}  // namespace tonvane
