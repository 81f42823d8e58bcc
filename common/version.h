// The version of the Tarnwick Windows components, and the one place it is kept. The version blocks
// of the .rc files, the tests of the shipped files, CMake (CMakeLists.txt reads the four numbers
// with a regular expression) and the installer build (scripts/msi.sh reads them the same way) all
// take it from here, so keep the four TW_VERSION_ lines in this form. Only preprocessor lines: the
// resource compiler includes this file too.
#pragma once

#define TW_VERSION_MAJOR 3
#define TW_VERSION_MINOR 0
#define TW_VERSION_PATCH 0
#define TW_VERSION_BUILD 0

#define TW_VERSION_STRINGIFY_(x) #x
#define TW_VERSION_STRINGIFY(x) TW_VERSION_STRINGIFY_(x)
// The text form, "3.0.0.0", for the version blocks' FileVersion and ProductVersion.
#define TW_VERSION_TEXT                                                  \
    TW_VERSION_STRINGIFY(TW_VERSION_MAJOR)                               \
    "." TW_VERSION_STRINGIFY(TW_VERSION_MINOR) "." TW_VERSION_STRINGIFY( \
        TW_VERSION_PATCH) "." TW_VERSION_STRINGIFY(TW_VERSION_BUILD)
