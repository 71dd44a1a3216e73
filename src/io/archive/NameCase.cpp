#include "io/archive/NameCase.h"

#include "io/CaseFold.h"

namespace Qla {

std::u16string foldName(std::u16string_view name) {
    std::u16string key(name.size(), u'\0');
    for (size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        key[i] = c == u'/' ? u'\\' : QlIO::Core::foldCase(c);
    }
    return key;
}

}  // namespace Qla
