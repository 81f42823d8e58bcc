// The command line: elevation first, exactly two arguments, exact options, the value's hand-over.
#include <gtest/gtest.h>

#include "driver.h"
#include "fake_vss.h"

namespace tw::test {
namespace {

class FakeEnvironment final : public ProcessEnvironment {
  public:
    bool IsProcessElevated() override { return elevated; }
    std::wstring Utf8ToUtf16(const std::string& bytes) override {
        decoded.push_back(bytes);
        return decodedVolume;
    }
    bool elevated = true;
    std::vector<std::string> decoded;  // every value given to the decoder
    std::wstring decodedVolume = L"\\\\?\\Volume{decoded}\\";
};

struct Tool {
    int Main(std::vector<const char*> arguments) {
        arguments.insert(arguments.begin(), "twVss_64.exe");
        return RunSnapshotTool(static_cast<int>(arguments.size()), arguments.data(), environment,
                               vss, console);
    }
    FakeEnvironment environment;
    FakeVss vss;
    RecordingConsole console;
};

const std::vector<std::vector<const char*>> kCommandLines = {
    {},
    {"-c"},
    {"-c", "C:\\"},
    {"-d", "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1"},
    {"-c", "C:\\", "extra"},
    {"-x", "C:\\"},
};

TEST(RunSnapshotTool, NotElevatedWritesOnlyTheErrorLineForEveryCommandLine) {
    for (const auto& arguments : kCommandLines) {
        SCOPED_TRACE(arguments.size());
        Tool run;
        run.environment.elevated = false;
        EXPECT_EQ(run.Main(arguments), 0);
        EXPECT_EQ(run.console.out, "");
        EXPECT_EQ(run.console.err, "Error : Not Elevated\n");
        EXPECT_EQ(run.vss.calls, std::vector<std::string>());
        EXPECT_EQ(run.environment.decoded, std::vector<std::string>());
    }
}

TEST(RunSnapshotTool, OtherShapesAndOptionsDoNothing) {
    const std::vector<std::vector<const char*>> commandLines = {
        {},
        {"-c"},
        {"C:\\"},
        {"-c", "C:\\", "extra"},
        {"-d", "name", "extra", "more"},
        {"-C", "C:\\"},
        {"-c ", "C:\\"},
        {" -c", "C:\\"},
        {"--c", "C:\\"},
        {"-cc", "C:\\"},
        {"c", "C:\\"},
        {"-", "C:\\"},
        {"", "C:\\"},
        {"-D", "name"},
        {"-d ", "name"},
        {"/d", "name"},
    };
    for (const auto& arguments : commandLines) {
        SCOPED_TRACE(arguments.empty() ? "(none)" : arguments[0]);
        Tool run;
        EXPECT_EQ(run.Main(arguments), 0);
        EXPECT_EQ(run.console.out, "");
        EXPECT_EQ(run.console.err, "");
        EXPECT_EQ(run.vss.calls, std::vector<std::string>());
        EXPECT_EQ(run.environment.decoded, std::vector<std::string>());
    }
}

TEST(RunSnapshotTool, CreateDecodesTheValueAsUtf8AndHandsItOn) {
    for (const char* value : {"C:\\", "", "D:\\\xc3\xa9t\xc3\xa9\\", "\xff\xfe"}) {
        Tool run;
        EXPECT_EQ(run.Main({"-c", value}), 0);
        EXPECT_EQ(run.environment.decoded, std::vector<std::string>{value});
        EXPECT_EQ(run.vss.addedVolumes, std::vector<std::wstring>{L"\\\\?\\Volume{decoded}\\"});
        EXPECT_EQ(run.console.err, "");
        EXPECT_NE(run.console.out.find("CREATED : "), std::string::npos);
    }
}

TEST(RunSnapshotTool, DeleteHandsTheBytesOnUnchanged) {
    Tool run;
    run.vss.snapshots = {{1, L"Copy\uffe9"}, {2, L"Copy\u00e9"}};
    EXPECT_EQ(run.Main({"-d", "Copy\xe9"}), 0);
    EXPECT_EQ(run.console.out, "Info : Managed to delete the snapshot: Copy\xe9\n");
    EXPECT_EQ(run.console.err, "");
    ASSERT_EQ(run.vss.snapshots.size(), 1u);
    EXPECT_EQ(run.vss.snapshots[0].id, 2u);
    EXPECT_EQ(run.environment.decoded, std::vector<std::string>());
}

}  // namespace
}  // namespace tw::test
