// The manifest of twShellExt_64.msix, the package with external location that declares the
// shell extension's Explorer command to Windows 11: an identity (fixed name, the given publisher,
// the version of common/version.h, x64), content outside the package (the install folder, which
// the installer gives when it registers the package), Windows 10 version 2004 (build 19041) or
// later on the desktop, full trust, one application that Start does not list, whose executable is
// one the installer puts into the install folder, and the File Explorer context-menu entries for
// every file ("*") and every folder ("Directory"), both served by the Explorer command class of
// twShellExt_64.dll (shellext/class_id.h), declared as a COM server of that DLL.
#pragma once

#include <string>

namespace tw::msix {

// The package's name, which identifies it to Get-AppxPackage and Remove-AppxPackage.
inline constexpr char kPackageName[] = "Tarnwick.ShellExtension";

// The publisher of a package made without a certificate: a test publisher in the namespace that
// Windows keeps for unsigned packages (Add-AppxPackage -AllowUnsigned), so that it can never pass
// for a signed one.
inline constexpr char kTestPublisher[] =
    "CN=Tarnwick Test Publisher, OID.2.25.311729368913984317654407730594956997722=1";

// The logos the manifest names, in the package's folder Assets, with their sizes in pixels.
struct LogoFile {
    const char* file;
    int side;
};
inline constexpr LogoFile kLogos[] = {
    {"StoreLogo.png", 50}, {"Square150x150Logo.png", 150}, {"Square44x44Logo.png", 44}};
inline constexpr char kLogoFolder[] = "Assets";

// The manifest text (UTF-8), with `publisher` as the identity's publisher.
std::string ShellExtensionManifest(const std::string& publisher);

}  // namespace tw::msix
