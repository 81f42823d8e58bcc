#include "menu_model.h"

namespace tw {

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
    if (selectionIsFile) {
        item(1, idCmdFirst + 1, "Backup this file", pictures.backupFile);
        item(2, idCmdFirst + 2, "Restore this file", pictures.restoreFile);
    } else {
        item(1, idCmdFirst + 1, "Backup this folder", pictures.backupFolder);
        item(2, idCmdFirst + 2, "Show available backups", pictures.showBackups);
    }
    item(3, 0, nullptr, nullptr);
    plan.result = 3;
    return plan;
}

}  // namespace tw
