// The resources of twShellExt_64.dll, by identifier: one list for the resource scripts
// (server/twshellext.rc, server/bitmaps.rc), the code that loads them and the tests that inspect
// the shipped DLL. Plain macros, so that the resource compiler reads the same file.
#pragma once

// The registry script (type "REGISTRY") that registers the class.
#define TW_IDR_REGISTRY_SCRIPT 101
// The string table's one string, "SimpleExt".
#define TW_IDS_PROJECT_NAME 100
// The pictures of the menu entries, one each.
#define TW_IDB_RESTORE_FILE 202
#define TW_IDB_BACKUP_FOLDER 203
#define TW_IDB_BACKUP_FILE 204
#define TW_IDB_SHOW_BACKUPS 205
// The icon of the Explorer command's entries in Windows 11's menu: an icon group holding the same
// picture at 16 to 48 pixels, which the command names as "<the DLL's path>,-206".
#define TW_IDI_EXPLORER_COMMAND 206
