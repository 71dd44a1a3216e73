#pragma once
// The Input table: the native controller class `Controller_` (which the prelude extends into
// `Input.Controller`), the cursor functions, and the cursor-visibility rule applied at the end
// of every frame.
#include "input/Controller.h"
#include "script/Bound.h"
#include "script/Library.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Quillorane {

// A controller of numbered inputs, each bound to a list of key names.
class ScController : public Bound {
public:
    explicit ScController(std::shared_ptr<QlInput::IController> controller) : controller_(std::move(controller)) {}
    void clear();
    void clear(std::int32_t number) { controller_->removeComponent(number); }
    // Binds number to the sum of the named keys (unknown names are skipped). A button rests at
    // 0 while the window is inactive; an axis keeps its last value.
    bool setButton(std::int32_t number, const std::vector<std::u16string>& keys);
    bool setAxis(std::int32_t number, const std::vector<std::u16string>& keys);
    bool update() { return controller_->update(); }
    bool isPushed(std::int32_t number) const { return controller_->isPushed(number); }
    bool isPressed(std::int32_t number) const { return controller_->isPressed(number); }
    bool isReleased(std::int32_t number) const { return controller_->isReleased(number); }
    std::int32_t getInput(std::int32_t number) const { return controller_->getValue(number); }
    std::vector<std::int32_t> getKeys() const { return controller_->getNumbers(); }

private:
    std::shared_ptr<QlInput::IController> controller_;
};

class InputLibrary : public Library {
public:
    // window names the window new controllers serve (the main window; may answer null).
    explicit InputLibrary(std::function<QlInput::WindowHandle()> window);
    bool onLoad(HSQUIRRELVM v) override;
    // While the game asked for a hidden cursor: hides it over the game window's client area
    // (edges included) and shows it elsewhere.
    void onEndFrame(HSQUIRRELVM v) override;

    bool isCursorVisible() const { return cursorVisible_; }
    void setCursorVisible(bool visible);

private:
    std::function<QlInput::WindowHandle()> window_;
    bool cursorVisible_ = true;
};

}  // namespace Quillorane
