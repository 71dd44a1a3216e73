#include "script/InputLibrary.h"

#include "frame/Window.h"
#include "input/DeviceState.h"
#include "input/KeyNames.h"
#include "platform/Cursor.h"
#include "platform/Video.h"
#include "script/Binding.h"

#include <optional>

namespace Quillorane {

void ScController::clear() {
    for (std::int32_t number : controller_->getNumbers()) controller_->removeComponent(number);
}

bool ScController::setButton(std::int32_t number, const std::vector<std::u16string>& keys) {
    auto component = QlInput::createVolatileComponent(0);
    QlInput::getKeyNameTable().addGetters(*component, keys);
    return controller_->setComponent(number, std::move(component));
}

bool ScController::setAxis(std::int32_t number, const std::vector<std::u16string>& keys) {
    auto component = QlInput::createFixedComponent();
    QlInput::getKeyNameTable().addGetters(*component, keys);
    return controller_->setComponent(number, std::move(component));
}

namespace {

// The cursor in the game window's client coordinates (game pixels); nothing when it cannot be
// read or there is no window.
std::optional<std::pair<std::int32_t, std::int32_t>> cursorInClient() {
    const QlInput::WindowHandle window = QlFrame::getCurrentWindowHandle();
    if (!window) return std::nullopt;
    auto device = QlInput::getDeviceState();
    std::int32_t x = 0, y = 0;
    if (!device->getCursorPosition(x, y) || !device->screenToClient(window, x, y)) return std::nullopt;
    return std::make_pair(x, y);
}

}  // namespace

InputLibrary::InputLibrary(std::function<QlInput::WindowHandle()> window) : window_(std::move(window)) {}

void InputLibrary::setCursorVisible(bool visible) {
    cursorVisible_ = visible;
    if (visible) QlPlatform::setCursorShown(true);  // hiding waits for the end of the frame
}

void InputLibrary::onEndFrame(HSQUIRRELVM) {
    if (cursorVisible_) return;
    const QlInput::WindowHandle window = QlFrame::getCurrentWindowHandle();
    const auto at = cursorInClient();
    if (!window || !at) return;
    const bool inside = at->first >= 0 && at->first <= window->gameWidth() && at->second >= 0 &&
                        at->second <= window->gameHeight();
    QlPlatform::setCursorShown(!inside);
}

bool InputLibrary::onLoad(HSQUIRRELVM v) {
    Bind::Table input(v);
    auto serves = window_;
    input.add(Bind::Class<ScController>(v, u"Controller_")
                  .ctor("", [serves] { return new ScController(QlInput::createController(serves ? serves() : nullptr)); })
                  .overload(u"clear", [](ScController& c) { c.clear(); })
                  .overload(u"clear", [](ScController& c, std::int32_t number) { c.clear(number); })
                  .method(u"setButton", &ScController::setButton)
                  .method(u"setAxis", &ScController::setAxis)
                  .method(u"update", &ScController::update)
                  .method(u"isPushed", &ScController::isPushed)
                  .method(u"isPressed", &ScController::isPressed)
                  .method(u"isReleased", &ScController::isReleased)
                  .method(u"getInput", &ScController::getInput)
                  .method(u"getKeys", &ScController::getKeys));
    input.func(u"isCursorVisible", [this] { return isCursorVisible(); })
        .func(u"setCursorVisible", [this](Bind::Truth visible) { setCursorVisible(visible); })
        .func(u"setCursorPosition", [](std::int32_t x, std::int32_t y) {
            const QlInput::WindowHandle window = QlFrame::getCurrentWindowHandle();
            if (window) QlPlatform::warpCursor(*window, x, y);
        })
        .func(u"getCursorPosition", []() -> std::optional<std::vector<std::int32_t>> {
            const auto at = cursorInClient();
            if (!at) return std::nullopt;
            return std::vector<std::int32_t>{at->first, at->second};
        });
    return input.store(u"Input") && runPrelude(v, "input");
}

}  // namespace Quillorane
