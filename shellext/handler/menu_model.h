// Which items the handler puts into a context menu: a plain function of the selection's
// classification, the handler's pictures and what the shell passes to QueryContextMenu.
#pragma once

#include <array>

#include "shell_types.h"

namespace tw {

// The pictures of the four entries (null: the entry is shown without one).
struct MenuPictures {
    HBITMAP backupFile = nullptr;
    HBITMAP restoreFile = nullptr;
    HBITMAP backupFolder = nullptr;
    HBITMAP showBackups = nullptr;
};

struct MenuItemPlan {
    bool separator = false;
    UINT position = 0;
    UINT_PTR id = 0;
    const char* text = nullptr;  // null for a separator
    HBITMAP picture = nullptr;   // null: no picture is set
};

struct MenuPlan {
    std::array<MenuItemPlan, 4> items;
    UINT count = 0;      // items to insert, in order
    HRESULT result = 0;  // what QueryContextMenu returns: the number of identifiers taken
};

// The text of the entry at command offset 1 or 2 for a file or a folder: "Backup this file" and
// "Restore this file", or "Backup this folder" and "Show available backups". The classic menu and
// the Explorer command's subcommands both show these.
const char* EntryText(UINT offset, bool selectionIsFile);

// With CMF_DEFAULTONLY set in `flags`: nothing, result 0. Otherwise, from `indexMenu` on: a
// separator with identifier `idCmdFirst`, the two entries of a file or a folder with the next two
// identifiers, and a separator with identifier 0; result 3. No other flag matters, and the last
// identifier the shell grants is not consulted.
MenuPlan PlanMenu(bool selectionIsFile, const MenuPictures& pictures, UINT indexMenu,
                  UINT idCmdFirst, UINT flags);

}  // namespace tw
