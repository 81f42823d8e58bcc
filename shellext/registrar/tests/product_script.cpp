#include "product_script.h"

#include <fstream>
#include <iterator>

namespace tw::test {

std::string ProductScript() {
    std::ifstream file(TW_PRODUCT_SCRIPT, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ProductScriptRegistered(const std::string& regModulePath) {
    return R"(
[HKEY_CLASSES_ROOT\*]
[HKEY_CLASSES_ROOT\*\shellex]
[HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers]
[HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers\TarnwickShellExtension]
@="{9F264B80-12D4-4C4C-9158-7A1A1803FB58}"
[HKEY_CLASSES_ROOT\CLSID]
[HKEY_CLASSES_ROOT\CLSID\{9F264B80-12D4-4C4C-9158-7A1A1803FB58}]
@="TarnwickShellExtension Class"
[HKEY_CLASSES_ROOT\CLSID\{9F264B80-12D4-4C4C-9158-7A1A1803FB58}\InprocServer32]
@=")" + regModulePath +
           R"("
"ThreadingModel"="Apartment"
[HKEY_CLASSES_ROOT\Directory]
[HKEY_CLASSES_ROOT\Directory\shellex]
[HKEY_CLASSES_ROOT\Directory\shellex\ContextMenuHandlers]
[HKEY_CLASSES_ROOT\Directory\shellex\ContextMenuHandlers\TarnwickShellExtension]
@="{9F264B80-12D4-4C4C-9158-7A1A1803FB58}"
)";
}

const char* const kProductScriptUnregistered = R"(
[HKEY_CLASSES_ROOT\*]
[HKEY_CLASSES_ROOT\*\shellex]
[HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers]
[HKEY_CLASSES_ROOT\CLSID]
[HKEY_CLASSES_ROOT\Directory]
[HKEY_CLASSES_ROOT\Directory\shellex]
[HKEY_CLASSES_ROOT\Directory\shellex\ContextMenuHandlers]
)";

}  // namespace tw::test
