// twVss_64: makes ("-c VOLUME") or deletes ("-d DEVICE_OBJECT") one VSS snapshot. It reports only
// through its console lines; the exit code is 0 on every path.
#include "driver.h"
#include "vss_win.h"

int main(int argc, char** argv) {
    try {
        tw::PlatformVss vss;
        return tw::RunSnapshotTool(argc, argv, tw::PlatformEnvironment(), vss,
                                   tw::StandardConsole());
    } catch (...) {
        // Nothing half-done is reported as done: without its lines the caller sees no success.
        return 0;
    }
}
