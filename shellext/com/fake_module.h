// A module object for tests of the objects that live in one: while it exists it is the process's
// module (when no other was there first), with the class table it is given.
#pragma once

#include "module_base.h"

namespace tw {

class FakeModule final : public CServerModuleT<FakeModule> {
  public:
    explicit FakeModule(ClassEntry* table = nullptr) noexcept { classTable = table; }
};

}  // namespace tw
