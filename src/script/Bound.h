#pragma once

namespace Quillorane {

// Base of every native wrapper that a script instance owns. The instance's release hook
// deletes it through this base when the VM frees the instance.
class Bound {
public:
    virtual ~Bound() = default;
};

}  // namespace Quillorane
