#include "platform_win.h"
#include "reg_object.h"

namespace tw {

CRegObject::CRegObject()
    : CRegObject(PlatformRegistry(), PlatformTextServices(), &PlatformModuleResources()) {}

}  // namespace tw
