#pragma once
// Case and separator folding used to look names up in an archive.
#include <string>
#include <string_view>

namespace Qla {

// The lookup key of a name: every '/' becomes '\' and every unit is case-folded
// (QlIO::Core::foldCase).
std::u16string foldName(std::u16string_view name);

}  // namespace Qla
