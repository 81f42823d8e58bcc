#include "paths.h"

namespace tw {
namespace {

bool IsLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// True when a step of the path is "." or "..": the extended-length form takes them literally.
bool HasDotStep(const std::u16string& path) {
    size_t start = 0;
    for (;;) {
        const size_t end = path.find(u'\\', start);
        const std::u16string step = path.substr(start, end - start);
        if (step == u"." || step == u"..") {
            return true;
        }
        if (end == std::u16string::npos) {
            return false;
        }
        start = end + 1;
    }
}

}  // namespace

std::u16string DirectoryWithBackslash(const std::u16string& path) {
    const size_t lastBackslash = path.rfind(u'\\');
    if (lastBackslash == std::u16string::npos) {
        return std::u16string();
    }
    return path.substr(0, lastBackslash + 1);
}

std::u16string ExtendedLengthPath(const std::u16string& path) {
    if (path.size() < kMaxLegacyPath || path.find(u'/') != std::u16string::npos ||
        HasDotStep(path)) {
        return path;
    }
    const bool driveAbsolute = IsLetter(path[0]) && path[1] == u':' && path[2] == u'\\';
    if (driveAbsolute) {
        return u"\\\\?\\" + path;
    }
    // "\\server\share\...", but not "\\?\..." or "\\.\..." (already device paths).
    const bool unc = path[0] == u'\\' && path[1] == u'\\' && path[2] != u'?' && path[2] != u'.' &&
                     path[2] != u'\\';
    if (unc) {
        return u"\\\\?\\UNC\\" + path.substr(2);
    }
    return path;
}

std::u16string WithoutExtendedLengthPrefix(const std::u16string& path) {
    const std::u16string prefix = u"\\\\?\\";
    if (path.compare(0, prefix.size(), prefix) != 0) {
        return path;
    }
    const std::u16string rest = path.substr(prefix.size());
    if (rest.size() >= 4 && (rest[0] == u'U' || rest[0] == u'u') &&
        (rest[1] == u'N' || rest[1] == u'n') && (rest[2] == u'C' || rest[2] == u'c') &&
        rest[3] == u'\\') {
        return u"\\\\" + rest.substr(4);
    }
    const bool driveAbsolute =
        rest.size() >= 3 && IsLetter(rest[0]) && rest[1] == u':' && rest[2] == u'\\';
    return driveAbsolute ? rest : path;
}

}  // namespace tw
