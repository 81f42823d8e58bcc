#include "menu_model.h"

namespace tw {

const char* EntryText(UINT offset, bool selectionIsFile) {
    if (offset == 1) {
        return selectionIsFile ? "Backup this file" : "Backup this folder";
    }
    return selectionIsFile ? "Restore this file" : "Show available backups";
}

MenuPlan PlanMenu(bool selectionIsFile, const MenuPictures& pictures, UINT indexMenu,
                  UINT idCmdFirst, UINT flags) {
    MenuPlan plan;
    if ((flags & CMF_DEFAULTONLY) != 0) {
        return plan;
    }
    auto item = [&](UINT offset, UINT_PTR id, const char* text, HBITMAP picture) {
        MenuItemPlan& i = plan.items[plan.count++];
        i.separator = text == nullptr;
        i.position = indexMenu + offset;
        i.id = id;
        i.text = text;
        i.picture = picture;
    };
    item(0, idCmdFirst, nullptr, nullptr);
    item(1, idCmdFirst + 1, EntryText(1, selectionIsFile),
         selectionIsFile ? pictures.backupFile : pictures.backupFolder);
    item(2, idCmdFirst + 2, EntryText(2, selectionIsFile),
         selectionIsFile ? pictures.restoreFile : pictures.showBackups);
    item(3, 0, nullptr, nullptr);
    plan.result = 3;
    return plan;
}

}  // namespace tw
