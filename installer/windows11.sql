-- Windows 11's own context menu: what the installer does on Windows build 22000 and later, in the
-- rows that the subset of WiX that wixl builds cannot declare. scripts/msi.sh runs these
-- statements, one per ";", on the MSI that wixl made from Tarnwick-Windows-Components.wxs (before
-- it is signed), with @MENU_HANDLERS_KEY_PATH@ and @REGISTRATION_KEY_PATH@ replaced by the names
-- of two rows of the Registry table, and checks the result.
--
-- The build: TW_WINDOWS_BUILD, the registry's CurrentBuildNumber (the .wxs searches it; the
-- installer's own version properties are not to be trusted on Windows 10 and later). It is a
-- REG_SZ, "22631" on Windows 11 23H2, "7601" as Wine reports it, and each condition compares it
-- with the integer 22000, unquoted: Windows Installer compares a property with an integer as
-- integers when the property's value converts to one, and any other value (an empty one, when the
-- value is missing) as false. Compared with the text "22000", "7601" would come after it.

-- The classic handler's two ContextMenuHandlers keys (four rows of the fragment's component
-- TwShellExtRegistration: each key's default value, and the row that removes its tree at
-- uninstall) become a component of their own, installed only where the build is not 22000 or
-- later: "NOT (... >= 22000)" rather than "... < 22000", so that an unknown build installs them.
-- Its key path is the fragment's (the file handler's default value); the fragment's component
-- keeps the class key, InprocServer32 and the Approved value, with @REGISTRATION_KEY_PATH@ (the
-- class key's default value) as its key path. Both are 64-bit components whose key path is a
-- registry value (256 + 4).
INSERT INTO Component (Component, ComponentId, Directory_, Attributes, Condition, KeyPath)
    VALUES ('TwShellExtMenuHandlers', '{6E2C1B57-0D3A-4F8E-9B61-3C7A2E5D9F04}', 'TARGETDIR', 260,
            'NOT (TW_WINDOWS_BUILD >= 22000)', '@MENU_HANDLERS_KEY_PATH@');
INSERT INTO FeatureComponents (Feature_, Component_) VALUES ('Components', 'TwShellExtMenuHandlers');
UPDATE Registry SET Component_ = 'TwShellExtMenuHandlers'
    WHERE Root = 0 AND `Key` = '*\shellex\ContextMenuHandlers\TarnwickShellExtension';
UPDATE Registry SET Component_ = 'TwShellExtMenuHandlers'
    WHERE Root = 0 AND `Key` = 'Directory\shellex\ContextMenuHandlers\TarnwickShellExtension';
UPDATE Component SET KeyPath = '@REGISTRATION_KEY_PATH@' WHERE Component = 'TwShellExtRegistration';

-- The registration of the package for the installing user, and its removal: deferred custom
-- actions, impersonated, that start the system's Windows PowerShell in the install folder (type
-- 34: an executable with its command line, the Source a directory, which is the working
-- directory; + 1024, in the script). The commands name no path: PowerShell gives its working
-- directory as $PWD, so that a folder name with a quote, a bracket or a dollar sign cannot break
-- them. A registration that fails fails the installation (an untrusted certificate fails with
-- 0x800B0109); a removal that fails does not stop the uninstallation (+ 64: its exit code is not
-- checked), nor does one with nothing to remove. Windows Installer shows each command in its log.
INSERT INTO CustomAction (Action, Type, Source, Target)
    VALUES ('TwRegisterPackage', 1058, 'INSTALLFOLDER',
            '"[System64Folder]WindowsPowerShell\v1.0\powershell.exe" -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command "Add-AppxPackage -Path (Join-Path $PWD.ProviderPath twShellExt_64.msix) -ExternalLocation $PWD.ProviderPath"');
INSERT INTO CustomAction (Action, Type, Source, Target)
    VALUES ('TwRemovePackage', 1122, 'INSTALLFOLDER',
            '"[System64Folder]WindowsPowerShell\v1.0\powershell.exe" -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command "Get-AppxPackage -Name Tarnwick.ShellExtension | Remove-AppxPackage"');
-- Registered once the files and registry values are in place (after PublishProduct, 6400, before
-- InstallFinalize, 6600); removed before RemoveFiles (3500), after RemoveRegistryValues (2600).
INSERT INTO InstallExecuteSequence (Action, Condition, Sequence)
    VALUES ('TwRegisterPackage', 'NOT REMOVE~="ALL" AND TW_WINDOWS_BUILD >= 22000', 6500);
INSERT INTO InstallExecuteSequence (Action, Condition, Sequence)
    VALUES ('TwRemovePackage', 'REMOVE~="ALL" AND TW_WINDOWS_BUILD >= 22000', 3400);
