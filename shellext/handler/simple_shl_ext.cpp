#include "simple_shl_ext.h"

#include "command_model.h"
#include "log_file.h"
#include "menu_model.h"
#include "shell_platform.h"

namespace tw {

const InterfaceEntry<CSimpleShlExt> CSimpleShlExt::interfaceMap[] = {
    {&IID_IShellExtInit, &FaceOf<CSimpleShlExt, IShellExtInit>},
    {&IID_IContextMenu, &FaceOf<CSimpleShlExt, IContextMenu>},
    {nullptr, nullptr},
};

namespace {

const std::string kInitializeMessage = "Interface Initialize";
const std::string kFileMessage = "This is a file";
const std::string kDirectoryMessage = "This is a directory";

void Log(const std::string& message) {
    if (CLogFile* log = CLogFile::Instance()) {
        log->Log(message);
    }
}

// The process's platform operations (the DLL's Win32 ones, or a test's stand-in).
ShellPlatform& Shell() {
    return *ShellPlatform::Current();
}

}  // namespace

CSimpleShlExt::CSimpleShlExt() noexcept {
    restoreFileBitmap =
        Shell().LoadBitmapResource(serverModule->moduleInstance, kRestoreFileBitmapId);
    backupFileBitmap =
        Shell().LoadBitmapResource(serverModule->moduleInstance, kBackupFileBitmapId);
    backupFolderBitmap =
        Shell().LoadBitmapResource(serverModule->moduleInstance, kBackupFolderBitmapId);
    showBackupsBitmap =
        Shell().LoadBitmapResource(serverModule->moduleInstance, kShowBackupsBitmapId);
}

CSimpleShlExt::~CSimpleShlExt() {
    Shell().DeleteBitmap(restoreFileBitmap);
    Shell().DeleteBitmap(backupFileBitmap);
    Shell().DeleteBitmap(backupFolderBitmap);
    Shell().DeleteBitmap(showBackupsBitmap);
}

HRESULT CSimpleShlExt::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY) noexcept {
    Log(kInitializeMessage);
    if (pdtobj == nullptr) {
        return E_INVALIDARG;
    }
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = nullptr;
    medium.pUnkForRelease = nullptr;
    if (FAILED(pdtobj->GetData(&format, &medium))) {
        return E_INVALIDARG;
    }
    const HDROP drop = Shell().LockDropList(medium.hGlobal);
    if (drop == nullptr) {
        Shell().ReleaseMedium(medium);
        return E_INVALIDARG;
    }
    HRESULT result = E_INVALIDARG;
    if (Shell().DroppedNameCount(drop) != 0) {
        try {
            // Only the first name counts, read whole: its length first, then the name. A name
            // that cannot be read leaves the selection as it was, and that is classified.
            std::u16string name(Shell().DroppedNameLength(drop, 0), u'\0');
            const UINT copied =
                Shell().CopyDroppedName(drop, 0, &name[0], static_cast<UINT>(name.size() + 1));
            if (copied != 0) {
                name.resize(copied);
                selectedPath = std::move(name);
                result = S_OK;
            }
            selectionIsFile = !Shell().IsDirectory(selectedPath);
            Log(selectionIsFile ? kFileMessage : kDirectoryMessage);
        } catch (...) {
            // Out of memory while the name was read or tested.
            result = E_OUTOFMEMORY;
        }
    }
    Shell().UnlockDropList(medium.hGlobal);
    Shell().ReleaseMedium(medium);
    return result;
}

HRESULT CSimpleShlExt::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT,
                                        UINT uFlags) noexcept {
    MenuPictures pictures;
    pictures.backupFile = backupFileBitmap;
    pictures.restoreFile = restoreFileBitmap;
    pictures.backupFolder = backupFolderBitmap;
    pictures.showBackups = showBackupsBitmap;
    const MenuPlan plan = PlanMenu(selectionIsFile, pictures, indexMenu, idCmdFirst, uFlags);
    for (UINT i = 0; i < plan.count; ++i) {
        const MenuItemPlan& item = plan.items[i];
        Shell().InsertMenuEntry(hmenu, item.position,
                                MF_BYPOSITION | (item.separator ? MF_SEPARATOR : MF_STRING),
                                item.id, item.text);
        if (item.picture != nullptr) {
            Shell().SetMenuEntryPicture(hmenu, item.position, item.picture);
        }
    }
    return plan.result;
}

HRESULT CSimpleShlExt::InvokeCommand(CMINVOKECOMMANDINFO* pici) noexcept {
    if (pici == nullptr) {
        return E_INVALIDARG;
    }
    const CommandDecision decision =
        DecideCommand(reinterpret_cast<uintptr_t>(pici->lpVerb), selectionIsFile);
    if (decision.option == nullptr) {
        return decision.result;
    }
    try {
        // Windows starts the helper in the module's folder, and loads it from there, only below
        // MAX_PATH: the folder as it is or its short form, whichever fits with the helper's name
        // (the path policy). A folder with neither is a start that failed. The selected path, a
        // parameter, stays whole.
        const std::vector<std::u16string> folders =
            UsablePathForms(GetModuleDirectory(), Shell(), kHelperFileName);
        if (!folders.empty()) {
            // The helper runs on its own; whether the start succeeded is not reported.
            Shell().HelperStarter().Start(
                HelperStartRequest(decision.option, selectedPath, folders.front()));
        }
    } catch (...) {
        // Out of memory while the request was put together: nothing was started.
        return E_OUTOFMEMORY;
    }
    return decision.result;
}

HRESULT CSimpleShlExt::GetCommandString(UINT_PTR, UINT, UINT*, CHAR*, UINT) noexcept {
    return E_INVALIDARG;
}

std::u16string CSimpleShlExt::GetModuleDirectory() const {
    return ModuleDirectoryOf(Shell().ModuleFileName(serverModule->dllInstance));
}

std::u16string CSimpleShlExt::GetHelperPath() const {
    return HelperPathIn(GetModuleDirectory());
}

}  // namespace tw
