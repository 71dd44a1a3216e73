#pragma once
// The Log table: an empty native table that its prelude fills with the debug log (level, tag, caller, date) to a file and the console.
#include "script/Library.h"

namespace Quillorane {

class LogLibrary : public Library {
public:
    bool onLoad(HSQUIRRELVM v) override;
};

}  // namespace Quillorane
