#pragma once
// The global functions of the root table (import, include, exec, eval, sleep, quit), the
// plug-ins they load and the exit flag the root prelude sets.
#include "app/Plugin.h"
#include "script/Library.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace QlIO {
class IFileManager;
}

namespace Quillorane {

class SystemLibrary : public Library {
public:
    explicit SystemLibrary(std::shared_ptr<QlIO::IFileManager> files);
    ~SystemLibrary() override;

    bool onLoad(HSQUIRRELVM v) override;
    void onUnload(HSQUIRRELVM v) override;
    void onBeginFrame(HSQUIRRELVM v) override;
    void onEndFrame(HSQUIRRELVM v) override;

    // The script functions, reading their arguments from the VM.
    SQInteger importPlugin(HSQUIRRELVM v);
    SQInteger include(HSQUIRRELVM v);
    SQInteger exec(HSQUIRRELVM v);
    SQInteger eval(HSQUIRRELVM v);

private:
    // Compiles text under name and runs it with the root table as `this`, leaving its result
    // on the stack; raises "'name' compile error" / "'name' execute error".
    SQInteger compileAndRun(HSQUIRRELVM v, std::u16string_view text, const std::u16string& name);

    std::shared_ptr<QlIO::IFileManager> files_;
    std::vector<std::shared_ptr<Plugin>> plugins_;  // in import order
    std::set<std::u16string> importedNames_;
    std::set<std::u16string> includedPaths_;
    std::vector<std::u16string> includeDirectories_;  // innermost on top
};

}  // namespace Quillorane
