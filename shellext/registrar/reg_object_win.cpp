#include "platform_win.h"
#include "reg_object.h"

namespace tw {

CRegObject::CRegObject()
    : CRegObject(PlatformRegistry(), PlatformTextServices(kRegistryCodePage),
                 &PlatformModuleResources()) {}

}  // namespace tw
