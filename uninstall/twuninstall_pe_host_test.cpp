// Inspects the shipped dist/TwUninstall.exe.
#include <gtest/gtest.h>

#include "pe_checks.h"

namespace tw::pe {
namespace {

TEST(TwUninstallExe, IsA32BitConsoleProgramImportingOnlySystemDlls) {
    Image image;
    std::string error;
    ASSERT_TRUE(Load(TW_DIST_DIR "/TwUninstall.exe", image, error)) << error;
    EXPECT_EQ(image.machine, kMachineI386);
    EXPECT_EQ(image.subsystem, kSubsystemConsole);
    EXPECT_EQ(image.characteristics & kCharacteristicDll, 0);
    // It starts programs through the shell.
    EXPECT_TRUE(ImportsOnlySystemDlls(image, "shell32.dll"));
}

TEST(TwUninstallExe, ManifestRunsItWithTheCallersRights) {
    Image image;
    std::string error;
    ASSERT_TRUE(Load(TW_DIST_DIR "/TwUninstall.exe", image, error)) << error;
    EXPECT_TRUE(HasAsInvokerManifest(image, 1));
}

}  // namespace
}  // namespace tw::pe
