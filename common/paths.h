// Windows paths as UTF-16 text: the pieces of path handling that more than one deliverable needs.
#pragma once

#include <string>

namespace tw {

// The paths that the platform's file functions take without a length limit only in their
// extended-length form ("\\?\"): those of this many units and more.
constexpr size_t kMaxLegacyPath = 260;

// Everything up to and including the last backslash of `path` ("C:\a\b.exe" -> "C:\a\"); empty
// when the path holds no backslash.
std::u16string DirectoryWithBackslash(const std::u16string& path);

// `path` in the extended-length form that the file functions accept beyond kMaxLegacyPath units:
// "C:\..." becomes "\\?\C:\...", "\\server\share\..." becomes "\\?\UNC\server\share\...". Paths
// shorter than kMaxLegacyPath, and paths that form cannot carry unchanged (relative ones, ones
// already prefixed, ones with forward slashes or "." and ".." steps, which the platform would no
// longer resolve), are returned as they are.
std::u16string ExtendedLengthPath(const std::u16string& path);

// The plain form of a path the platform gave in extended-length form: "\\?\C:\..." becomes
// "C:\...", "\\?\UNC\server\share\..." becomes "\\server\share\...". Other paths are
// returned as they are.
std::u16string WithoutExtendedLengthPrefix(const std::u16string& path);

}  // namespace tw
