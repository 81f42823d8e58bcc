// Inspects the shipped dist/TwUninstall.exe.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "pe_checks.h"

namespace tw::pe {
namespace {

class TwUninstallExe : public ShippedBinaryTest {
  protected:
    TwUninstallExe() : ShippedBinaryTest("TwUninstall.exe") {}
};

TEST_F(TwUninstallExe, IsA32BitConsoleProgramImportingOnlySystemDlls) {
    EXPECT_EQ(image.machine, kMachineI386);
    EXPECT_EQ(image.subsystem, kSubsystemConsole);
    EXPECT_EQ(image.characteristics & kCharacteristicDll, 0);
    // It starts programs through the shell.
    EXPECT_TRUE(ImportsOnlySystemDlls(image, "shell32.dll"));
}

// Like the other deliverables, so that Windows Installer's file version rules and the file's
// properties see the product's version.
TEST_F(TwUninstallExe, CarriesItsVersionBlock) {
    VersionInfo info;
    ASSERT_TRUE(ReadsVersionBlock(image, info));
    EXPECT_EQ(info.fileVersion, kProductVersion);
    EXPECT_EQ(info.productVersion, kProductVersion);
    EXPECT_EQ(info.fileType, 1u);  // an application
    const std::map<std::string, std::map<std::string, std::string>> strings = {
        {"040904B0",
         {
             {"CompanyName", "Tarnwick"},
             {"FileDescription", "Tarnwick Uninstall Helper"},
             {"FileVersion", ProductVersionText()},
             {"InternalName", "TwUninstall"},
             {"OriginalFilename", "TwUninstall.exe"},
             {"ProductName", "Tarnwick"},
             {"ProductVersion", ProductVersionText()},
         }},
    };
    EXPECT_EQ(info.strings, strings);
}

TEST_F(TwUninstallExe, ManifestRunsItWithTheCallersRights) {
    EXPECT_TRUE(HasAsInvokerManifest(image, 1));
}

}  // namespace
}  // namespace tw::pe
