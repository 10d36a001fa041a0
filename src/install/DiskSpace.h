// Room for an install, checked before anything is written: on Next from the
// folder page, and before a silent install changes anything. A disk that
// fills up halfway through leaves a half-written install behind; told
// before, the user can pick another drive or make room.
//
// On the install folder's volume the install writes every file of the
// application archive (ZIP 209, read in the setup's own image), the
// uninstaller (EXE 210; not in the portable configuration, which writes its
// settings file there instead) and install.log, each rounded up to whole
// clusters. The log is estimated generously: a line for each file, its
// folder counted at two bytes a character (a double-byte ANSI code page),
// plus the earlier log, whose paths it carries on. Files of an earlier
// install stay until the new ones are in place, so nothing is subtracted
// for them. Nothing else is written: the archive is read from the setup's
// own image.
//
// The free space is what the user may still write (quotas included) at the
// nearest folder of each path that exists; the cluster size is the
// volume's. A volume whose free space cannot be read does not stop the
// install: the setup log says so, and the install finds out as it writes.
#pragma once

#include <string>
#include <vector>

#include "SpaceNeeds.h"

namespace tonvane {

// The volume that holds `path`, or the nearest folder above it that exists,
// with its free space and cluster size as far as the system tells them;
// nothing needed yet.
VolumeSpace volumeOfPath(const std::wstring& path);

// What an install into `installFolder` (as the folder page normalized it)
// needs on each volume it writes to.
std::vector<VolumeSpace> installSpaceNeeds(const std::wstring& installFolder, bool portable);

// "There is not enough free space on drive ..." for `volume`: the
// translation when `translated`, else the English text.
std::wstring notEnoughSpaceText(const VolumeSpace& volume, bool translated);

// installSpaceNeeds, each volume's need and free space written to the setup
// log. True when every volume has room or cannot tell; otherwise false, the
// English sentence in the log, and `shortVolume` is the first volume
// without room.
bool installHasRoom(const std::wstring& installFolder, bool portable, VolumeSpace& shortVolume);

}  // namespace tonvane
