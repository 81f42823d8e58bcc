// Inspects the shipped dist/TwUninstall.exe.
#include <gtest/gtest.h>

#include <algorithm>

#include "pe_image.h"

namespace tw::pe {
namespace {

TEST(TwUninstallExe, IsA32BitConsoleProgramImportingOnlySystemDlls) {
    Image image;
    std::string error;
    ASSERT_TRUE(Load(TW_DIST_DIR "/TwUninstall.exe", image, error)) << error;
    EXPECT_EQ(image.machine, kMachineI386);
    EXPECT_EQ(image.subsystem, kSubsystemConsole);
    EXPECT_EQ(image.characteristics & kCharacteristicDll, 0);
    ASSERT_FALSE(image.importedDlls.empty());
    for (const std::string& dll : image.importedDlls) {
        EXPECT_TRUE(IsSystemDll(dll)) << dll;
    }
    // It starts programs through the shell.
    EXPECT_NE(std::find_if(image.importedDlls.begin(), image.importedDlls.end(),
                           [](const std::string& d) { return IsSameDll(d, "shell32.dll"); }),
              image.importedDlls.end());
}

TEST(TwUninstallExe, ManifestRunsItWithTheCallersRights) {
    Image image;
    std::string error;
    ASSERT_TRUE(Load(TW_DIST_DIR "/TwUninstall.exe", image, error)) << error;
    const auto manifests = image.ResourcesOfType(24u);
    ASSERT_EQ(manifests.size(), 1u);
    EXPECT_EQ(manifests[0]->name.id, 1u);
    const std::string& xml = manifests[0]->bytes;
    EXPECT_NE(xml.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
              std::string::npos)
        << xml;
}

}  // namespace
}  // namespace tw::pe
