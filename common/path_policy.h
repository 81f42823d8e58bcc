// Which form of a path Windows can use where it takes paths of fewer than MAX_PATH units only: as
// an in-process server's registered path (the COM runtime loads it as a module), as a module to
// load, and as a working directory (CreateProcess refuses one of MAX_PATH or more). Wine takes
// longer paths in those places; Windows does not without the long-path opt-in, which neither
// Explorer nor regsvr32 can be assumed to have. Every caller that hands Windows such a path asks
// this one policy, over the platform's short names.
#pragma once

#include <string>
#include <vector>

namespace tw {

// The platform's short (8.3) form of the path of an existing file or folder.
class ShortPathNames {
  public:
    virtual ~ShortPathNames() = default;
    // GetShortPathNameW, for a path of any length. False when the platform gives none; a volume
    // without short names gives the path back as it is.
    virtual bool ShortPathName(const std::u16string& path, std::u16string* shortPath) = 0;
};

// The forms of `path` (whole, of an existing file or folder) that Windows can use there, in the
// order they are preferred: the path itself when it fits, then its short form when that differs
// and fits. A form fits when, followed by `appended` (what Windows adds to it before using it: a
// file name looked up in a working directory), it has fewer than MAX_PATH (260) units. Empty when
// no form fits.
std::vector<std::u16string> UsablePathForms(const std::u16string& path, ShortPathNames& shortNames,
                                            const std::u16string& appended = u"");

#ifdef _WIN32
// GetShortPathNameW (Windows builds only); a path of MAX_PATH units or more is asked for in its
// extended-length form, and the answer given back without that prefix.
ShortPathNames& PlatformShortPathNames();
#endif

}  // namespace tw
