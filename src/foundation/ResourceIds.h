// Every resource id of the setup and its uninstaller, in one place: the
// resource scripts (resources/, payloads/uninstaller/), the program's code
// and the tests include this file. Only #defines and comments, since the
// resource compiler reads it too.
//
// Names say whose they are: IDD_ a dialog template, IDC_<DIALOG>_ a control
// of that dialog, IDI_ an icon, IDB_ a bitmap, IDR_ a payload (custom
// resource types ZIP, EXE, TEXT, PAYLOADCHECK). A control id is unique
// within its dialog only: the shortcuts page's Send To box and the offers
// page's toolbar box are both 1014, on pages that never share a window.
//
// The numbers are the program's interface: whoever drives the wizard from
// outside (the end-to-end tests among them) finds its controls by them.
#pragma once

// --- The setup program -------------------------------------------------

#define IDI_SETUP_ICON 128
#define IDB_HEADER_PICTURE 201

// The frame: header band, button row and the page area the pages fill.
// Close and Cancel are IDOK and IDCANCEL, so Enter and Escape reach them.
#define IDD_FRAME 129
#define IDC_FRAME_CLOSE 1
#define IDC_FRAME_CANCEL 2
#define IDC_FRAME_NEXT 1000
#define IDC_FRAME_BACK 1001
#define IDC_FRAME_PAGE_AREA 1004
#define IDC_FRAME_YES 1005
#define IDC_FRAME_NO 1006
#define IDC_FRAME_TERMS_OK 1018

// The six pages, in the order the wizard shows them.
#define IDD_WELCOME_PAGE 107
#define IDD_FOLDER_PAGE 130
#define IDD_SHORTCUTS_PAGE 131
#define IDD_PROGRESS_PAGE 134
#define IDD_OFFERS_PAGE 132
#define IDD_COMPLETE_PAGE 133

#define IDC_FOLDER_EDIT 1009
#define IDC_FOLDER_BROWSE 1010
#define IDC_FOLDER_PORTABLE 1011
#define IDC_FOLDER_ALL_USERS 1019

#define IDC_SHORTCUTS_START_MENU 1012
#define IDC_SHORTCUTS_DESKTOP 1013
#define IDC_SHORTCUTS_SEND_TO 1014

#define IDC_PROGRESS_BAR 1020

#define IDC_OFFERS_TOOLBAR 1014
#define IDC_OFFERS_PLUGIN_TERMS 1015
#define IDC_OFFERS_TOOLBAR_TERMS 1016
#define IDC_OFFERS_PLUGIN 1017

#define IDC_COMPLETE_PRESS_RELEASE 1021

// Payloads. TEXT: the partners' terms (Shift-JIS), the settings template of
// the portable configuration, the Japanese translation table (Shift-JIS).
#define IDR_TOOLBAR_TERMS 203
#define IDR_PLUGIN_TERMS 204
#define IDR_SETTINGS_TEMPLATE 205
#define IDR_JAPANESE_TABLE 215
// ZIP: the application archive and the partners' installer archives; EXE:
// the uninstaller.
#define IDR_APPLICATION_ARCHIVE 209
#define IDR_UNINSTALLER 210
#define IDR_PLUGIN_ARCHIVE 212
#define IDR_TOOLBAR_ARCHIVE 213
// PAYLOADCHECK: the payloads' sizes and CRC-32s (src/startup/PayloadCheck.h).
#define IDR_PAYLOAD_CHECK 1

// --- The uninstaller -----------------------------------------------------
// Its icon is IDI_SETUP_ICON and its own translation table
// IDR_JAPANESE_TABLE, as in the setup.

// The window that counts the files while they go.
#define IDD_UNINSTALL_PROGRESS 100
#define IDC_UNINSTALL_PROGRESS_TEXT 101
#define IDC_UNINSTALL_PROGRESS_BAR 102
#define IDC_UNINSTALL_PROGRESS_COUNT 103
