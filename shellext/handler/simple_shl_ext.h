// CSimpleShlExt, the context-menu handler Explorer creates for each context menu of a file or a
// folder: Initialize reduces the selection to its first path and whether that is a directory,
// QueryContextMenu inserts the two entries for a file or a folder, and InvokeCommand starts the
// product's helper twHelper.exe from the server module's directory with an option and the path.
#pragma once

#include <string>

#include "class_id.h"
#include "com_objects.h"
#include "resource_ids.h"
#include "shell_types.h"

namespace tw {

// Bitmap resources of the server module, one per menu entry.
constexpr WORD kRestoreFileBitmapId = TW_IDB_RESTORE_FILE;
constexpr WORD kBackupFolderBitmapId = TW_IDB_BACKUP_FOLDER;
constexpr WORD kBackupFileBitmapId = TW_IDB_BACKUP_FILE;
constexpr WORD kShowBackupsBitmapId = TW_IDB_SHOW_BACKUPS;
// The registry script resource ("REGISTRY") that registers the class.
constexpr WORD kRegistryScriptId = TW_IDR_REGISTRY_SCRIPT;

class CSimpleShlExt : public CComObjectRootEx<CComSingleThreadModel>,
                      public CComCoClass<CSimpleShlExt, &CLSID_SimpleShlExt>,
                      public IShellExtInit,
                      public IContextMenu {
  public:
    // Loads the four bitmaps; one that cannot be loaded stays null.
    CSimpleShlExt() noexcept;
    // Releases the bitmaps: the menus they were set on do not own them.
    virtual ~CSimpleShlExt();
    CSimpleShlExt(const CSimpleShlExt&) = delete;
    CSimpleShlExt& operator=(const CSimpleShlExt&) = delete;

    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj,
                                         HKEY hkeyProgID) noexcept override;

    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst,
                                               UINT idCmdLast, UINT uFlags) noexcept override;
    HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* pici) noexcept override;
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved,
                                               CHAR* pszName, UINT cchMax) noexcept override;

    // The directory of the server module's file with a trailing backslash, read anew at each call.
    std::u16string GetModuleDirectory() const;
    // GetModuleDirectory followed by "twHelper.exe".
    std::u16string GetHelperPath() const;

    // The class table's registration function: runs the server's registry script
    // kRegistryScriptId, registering or unregistering, with no extra substitutions. Registration is
    // the server's business, so the server defines it (shellext/server/server.cpp).
    static HRESULT UpdateRegistration(bool registering) noexcept;

    static const InterfaceEntry<CSimpleShlExt> interfaceMap[];

    bool selectionIsFile = false;  // true unless the selected item is a directory
    std::u16string selectedPath;   // the first selected item's whole name, as on disk
    HBITMAP restoreFileBitmap = nullptr;
    HBITMAP backupFolderBitmap = nullptr;
    HBITMAP backupFileBitmap = nullptr;
    HBITMAP showBackupsBitmap = nullptr;
};

}  // namespace tw
