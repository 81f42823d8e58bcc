#include "fake_registration_platform.h"

#include <cctype>

#include "approved_entry.h"
#include "code_page_text.h"
#include "paths.h"

namespace tw {
namespace {

bool SameType(const std::string& a, const char* b) {
    const std::string other = b == nullptr ? "" : b;
    if (a.size() != other.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(other[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

FakeRegistrationPlatform::FakeRegistrationPlatform() {
    resources_.moduleFileName = u"C:\\Program Files\\Tarnwick\\twShellExt_64.dll";
    RegKey approved = 0;
    registry.Create(RootKey(RegistryRoot::LocalMachine), kApprovedKey, KEY_READ, &approved);
    registry.Close(approved);
}

void FakeRegistrationPlatform::SetModulePath(const std::u16string& path) {
    resources_.moduleFileName = path;
    modulePathFails_ = false;
}

void FakeRegistrationPlatform::FailModulePath(DWORD error) {
    modulePathFails_ = true;
    modulePathError_ = error;
}

void FakeRegistrationPlatform::SetShortPathName(const std::u16string& path,
                                                const std::u16string& shortPath) {
    shortPaths_[path] = shortPath;
}

void FakeRegistrationPlatform::SetResource(const ResourceId& id, const std::string& type,
                                           const std::string& bytes) {
    resources_.hasResource = true;
    resources_.resourceId = id;
    resources_.resourceType = type;
    resources_.resourceBytes = bytes;
}

const TextServices& FakeRegistrationPlatform::GetText(AnsiCodePage codePage) {
    const TextServices* text = codePage == AnsiCodePage::System ? systemText : threadText;
    return text != nullptr ? *text : CodePageText::Western();
}

bool FakeRegistrationPlatform::ModulePath(std::u16string* path, DWORD* lastError) {
    if (modulePathFails_) {
        *lastError = modulePathError_;
        return false;
    }
    *path = resources_.moduleFileName;
    *lastError = ERROR_SUCCESS;
    return true;
}

bool FakeRegistrationPlatform::ShortPathName(const std::u16string& path,
                                             std::u16string* shortPath) {
    const auto found = shortPaths_.find(path);
    if (found == shortPaths_.end()) {
        return false;
    }
    *shortPath = found->second;
    return true;
}

HRESULT FakeRegistrationPlatform::Resources::Load(const std::u16string& path, Module* module) {
    loadedPaths.push_back(path);
    if (path.size() >= kMaxLegacyPath) {
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    std::u16string shortForm;
    if (path != moduleFileName &&
        !(platform_.ShortPathName(moduleFileName, &shortForm) && path == shortForm)) {
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    }
    ++held;
    *module = this;
    return S_OK;
}

HRESULT FakeRegistrationPlatform::Resources::Find(Module, const ResourceId& id, const char* type,
                                                  const char** data, DWORD* size) {
    if (!hasResource || !SameType(resourceType, type)) {
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
    if (id.IsNumber() != resourceId.IsNumber() || id.Number() != resourceId.Number() ||
        !SameType(resourceId.Name(), id.Name().c_str())) {
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    *data = resourceBytes.data();
    *size = static_cast<DWORD>(resourceBytes.size());
    return S_OK;
}

}  // namespace tw
