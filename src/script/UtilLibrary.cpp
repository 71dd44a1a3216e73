#include "script/UtilLibrary.h"

#include "script/Binding.h"

namespace Quillorane {

bool UtilLibrary::onLoad(HSQUIRRELVM v) {
    Bind::Table util(v);
    util.add(Bind::Class<ScTimer>(v, u"Timer")
                 .ctor()
                 .method(u"set", &ScTimer::set)
                 .method(u"get", &ScTimer::get)
                 .method(u"stop", &ScTimer::stop)
                 .method(u"start", &ScTimer::start)
                 .method(u"reset", &ScTimer::reset)
                 .method(u"isStopped", &ScTimer::isStopped));
    util.add(Bind::Class<ScFps>(v, u"Fps")
                 .ctor("i", [](std::uint32_t fps) { return new ScFps(fps); })
                 .method(u"setFps", &ScFps::setFps)
                 .method(u"getFps", &ScFps::getFps)
                 .method(u"wait", &ScFps::wait));
    return util.store(u"Util") && runPrelude(v, "util");
}

}  // namespace Quillorane
