// Ids of the uninstaller's own resources, shared by its resource script and
// its code.
#pragma once

#define kProgressDialog 100
#define kProgressText 101
#define kProgressBar 102
#define kProgressCount 103
