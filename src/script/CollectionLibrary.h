#pragma once
// The Collection table: an empty native table that its prelude fills with copying and filtering arrays and tables.
#include "script/Library.h"

namespace Quillorane {

class CollectionLibrary : public Library {
public:
    bool onLoad(HSQUIRRELVM v) override;
};

}  // namespace Quillorane
