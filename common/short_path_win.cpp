#include <windows.h>

#include "path_policy.h"
#include "paths.h"
#include "utf16.h"

namespace tw {
namespace {

class WindowsShortPathNames final : public ShortPathNames {
  public:
    bool ShortPathName(const std::u16string& path, std::u16string* shortPath) override {
        // Beyond MAX_PATH the call takes the path only in its extended-length form, and answers
        // in that form.
        const std::u16string asked = ExtendedLengthPath(path);
        // The call says how large a buffer the short form needs, terminator included.
        DWORD size = GetShortPathNameW(AsWide(asked), nullptr, 0);
        while (size != 0) {
            std::u16string buffer(size, u'\0');
            const DWORD copied = GetShortPathNameW(AsWide(asked), AsWide(&buffer[0]), size);
            if (copied == 0) {
                return false;
            }
            if (copied < size) {
                buffer.resize(copied);
                *shortPath = WithoutExtendedLengthPrefix(buffer);
                return true;
            }
            size = copied;  // the name grew meanwhile: try again with what it needs now
        }
        return false;
    }
};

}  // namespace

ShortPathNames& PlatformShortPathNames() {
    static WindowsShortPathNames names;
    return names;
}

}  // namespace tw
