#include "driver.h"

#include "snapshot_create.h"
#include "snapshot_delete.h"

namespace tw {

int RunSnapshotTool(int argc, const char* const* argv, ProcessEnvironment& environment,
                    VssService& vss, Console& console) {
    // Before the arguments are looked at: a tool that may not work says so for every command line.
    if (!environment.IsProcessElevated()) {
        console.Err("Error : Not Elevated");
        return 0;
    }
    if (argc != 3) {
        return 0;
    }
    // Exact bytes: no case folding, no prefixes, no trimming.
    const std::string option = argv[1];
    const std::string value = argv[2];
    if (option == "-c") {
        SnapshotState state;
        CreateSnapshot(environment.Utf8ToUtf16(value), state, vss, console);
    }
    if (option == "-d") {
        DeleteSnapshot(value, vss, console);
    }
    return 0;
}

}  // namespace tw
