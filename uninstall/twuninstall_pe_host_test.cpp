// Inspects the shipped dist/TwUninstall.exe.
#include <gtest/gtest.h>

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

TEST_F(TwUninstallExe, ManifestRunsItWithTheCallersRights) {
    EXPECT_TRUE(HasAsInvokerManifest(image, 1));
}

}  // namespace
}  // namespace tw::pe
