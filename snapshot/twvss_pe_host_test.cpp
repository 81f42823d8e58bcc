// Inspects the shipped dist/twVss_64.exe.
#include <gtest/gtest.h>

#include "pe_checks.h"

namespace tw::pe {
namespace {

class TwVssExe : public ShippedBinaryTest {
  protected:
    TwVssExe() : ShippedBinaryTest("twVss_64.exe") {}
};

TEST_F(TwVssExe, IsA64BitConsoleProgramImportingOnlySystemDlls) {
    EXPECT_EQ(image.machine, kMachineAmd64);
    EXPECT_EQ(image.subsystem, kSubsystemConsole);
    EXPECT_EQ(image.characteristics & kCharacteristicDll, 0);
    // The platform's VSS API, linked by name.
    EXPECT_TRUE(ImportsOnlySystemDlls(image, "vssapi.dll"));
}

TEST_F(TwVssExe, CarriesItsVersionBlock) {
    VersionInfo info;
    ASSERT_TRUE(ReadsVersionBlock(image, info));
    EXPECT_EQ(info.fileVersion, kProductVersion);
    EXPECT_EQ(info.productVersion, kProductVersion);
    EXPECT_EQ(info.fileType, 1u);  // an application
    ASSERT_EQ(info.strings.count("040904B0"), 1u);
    EXPECT_EQ(info.strings["040904B0"]["FileDescription"], "Tarnwick VSS Component");
    EXPECT_EQ(info.strings["040904B0"]["FileVersion"], ProductVersionText());
    EXPECT_EQ(info.strings["040904B0"]["ProductVersion"], ProductVersionText());
}

TEST_F(TwVssExe, ManifestRunsItWithTheCallersRights) {
    EXPECT_TRUE(HasAsInvokerManifest(image, 1));
}

}  // namespace
}  // namespace tw::pe
