// The Input library over a scripted device state: the native controller class, the prelude's
// Input.Controller with its recorded configuration, and the shared keyboard, mouse and
// joystick controllers behind Input.get*Keys. Keys are pressed from here between script runs.
#include "CapturedPrint.h"
#include "script/InputLibrary.h"

#include "input/DeviceState.h"
#include "input/ScriptedDeviceState.h"
#include "script/Binding.h"
#include "script/ScriptText.h"

#include <sqstdaux.h>
#include <sqstdutf.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <memory>
#include <string>

namespace Quillorane {
namespace {

using TestSupport::capture;
using TestSupport::printed;

// Stands for the game window: the scripted device state only compares handles.
const QlInput::WindowHandle kWindow = reinterpret_cast<QlInput::WindowHandle>(std::uintptr_t{0x1000});
const QlInput::WindowHandle kOther = reinterpret_cast<QlInput::WindowHandle>(std::uintptr_t{0x2000});

constexpr int kKeyA = 0x41, kKeyB = 0x42, kKeyZ = 0x5A, kEnter = 0x0D, kMouseLeft = 0x01;

class InputLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        printed.clear();
        device = std::make_shared<QlInput::ScriptedDeviceState>();
        device->setActiveWindow(kWindow);
        device->connectJoystick(0, {0, 65535, 0, 65535});
        device->setJoystick(0, 32768, 32768, 0);
        QlInput::setDeviceState(device);
        v = sq_open(1024);
        sqstd_seterrorhandlers(v);
        sq_setprintfunc(v, &capture, &capture);
        library = std::make_unique<InputLibrary>([] { return kWindow; });
        ASSERT_TRUE(library->onLoad(v)) << sqstd::toUtf8(printed);
    }
    void TearDown() override {
        library.reset();
        Bind::releaseClasses(v);
        sq_close(v);
        QlInput::setDeviceState(nullptr);
    }

    // Runs the script and returns what it printed.
    std::string run(std::u16string_view script) {
        printed.clear();
        const std::u16string wrapped =
            u"function show(x) { if (typeof x == \"array\") { local s = \"[\"; foreach (i, e in x) s += (i ? \",\" : \"\") + e; x = s + \"]\"; } print(x + \"\\n\"); }\n"
            u"function err(f) { try { f(); } catch (e) { print(\"error: \" + e + \"\\n\"); return; } print(\"no error\\n\"); }\n" +
            std::u16string(script);
        EXPECT_TRUE(compileText(v, wrapped, u"test")) << sqstd::toUtf8(printed);
        EXPECT_TRUE(callWithRoot(v, false)) << sqstd::toUtf8(printed);
        return sqstd::toUtf8(printed);
    }

    HSQUIRRELVM v = nullptr;
    std::shared_ptr<QlInput::ScriptedDeviceState> device;
    std::unique_ptr<InputLibrary> library;
};

TEST_F(InputLibraryTest, ButtonsSumTheirKeysAndReportEdges) {
    run(u"::c <- Input.Controller_(); show(c.setButton(0, [\"key.a\", \"key.b\", \"no.such.key\", 5]));"
        u"show(c.setAxis(-3, [\"key.a\"])); show(c.getKeys());");
    EXPECT_EQ(printed, u"1\n1\n[-3,0]\n");
    const char16_t* frame = u"c.update(); show([c.getInput(0), c.isPushed(0), c.isPressed(0), c.isReleased(0), c.getInput(-3)]);";
    device->press(kKeyA);
    EXPECT_EQ(run(frame), "[1,1,1,0,1]\n");
    device->press(kKeyB);
    EXPECT_EQ(run(frame), "[2,0,1,0,1]\n");
    // An inactive window: the button rests at 0, the axis keeps its last value.
    device->setActiveWindow(kOther);
    EXPECT_EQ(run(frame), "[0,0,0,1,1]\n");
    device->setActiveWindow(kWindow);
    device->releaseAll();
    EXPECT_EQ(run(frame), "[0,0,0,0,0]\n");
    device->press(kKeyB);
    run(frame);
    device->releaseAll();
    EXPECT_EQ(run(frame), "[0,0,0,1,0]\n");
    EXPECT_EQ(run(frame), "[0,0,0,0,0]\n");
    // Unbinding: one number, then all; an unbound number reads 0.
    EXPECT_EQ(run(u"c.clear(0); show(c.getKeys()); c.setButton(7, []); c.clear(); show(c.getKeys()); show(c.getInput(7));"),
              "[-3]\n[]\n0\n");
    EXPECT_EQ(run(u"err(function() { Input.Controller_(1); }); err(function() { c.clear(1, 2); });"
                  u"err(function() { c.setButton(1, \"key.a\"); });"),
              "error: wrong number of parameters\n"
              "error: No overload matching this argument list found\n"
              "error: parameter 2 has an invalid type 'string' ; expected: 'array'\n");
}

TEST_F(InputLibraryTest, ControllerRecordsItsConfiguration) {
    EXPECT_EQ(run(u"::c <- Input.Controller(); local keys = [\"key.a\"];"
                  u"show(c.setButton(1, keys)); c.setAxis(2, [\"key.z\"]); keys.push(\"key.b\");"
                  u"local cfg = c.getConfig(); show(cfg[1].type + \" \" + cfg[1].keys.len() + \" \" + cfg[2].type);"
                  u"show(c.getConfig() == cfg); show(c instanceof Input.Controller_);"),
              "1\nbutton 1 axis\ntrue\ntrue\n");
    device->press(kKeyZ);
    EXPECT_EQ(run(u"c.update(); show([c.getInput(1), c.getInput(2)]);"), "[0,1]\n");
    // setConfig replaces everything; an entry of another type stops it with false.
    EXPECT_EQ(run(u"show(c.setConfig({[5] = {type = \"button\", keys = [\"key.z\"]}})); show(c.getKeys());"
                  u"show(c.getConfig().len());"
                  u"show(c.setConfig({[6] = {type = \"wheel\", keys = []}})); show(c.getKeys());"
                  u"c.setButton(8, [\"key.a\"]); c.clear(8); show(8 in c.getConfig()); c.clear(); show(c.getConfig().len());"),
              "true\n[5]\n1\nfalse\n[]\nfalse\n0\n");
}

TEST_F(InputLibraryTest, SharedControllersListPressedKeys) {
    EXPECT_EQ(run(u"show([Input.keyboardTable__.len(), Input.mouseTable__.len(), Input.joyTable__.len(), Input.joyTable__[3].len()]);"
                  u"show([Input.keyboardTable__[25], Input.keyboardTable__[47], Input.keyboardTable__[85], Input.keyboardTable__[100]]);"
                  u"show(Input.joyTable__[3][15]); show(Input.getKeyboardKeys());"
                  u"show([Input.createJoystick(4), Input.createJoystick(-1), Input.getJoystickKeys(-1), Input.getJoystickKeys(4)]);"),
              "[101,8,4,16]\n[key.f1,key.a,key.num0,key.numenter]\njoy3.btn12\n[]\n[null,null,null,null]\n");
    device->press(kKeyZ);
    device->press(kEnter);
    device->press(kMouseLeft);
    device->setJoystick(0, 65535, 32768, 0b101);  // right, buttons 1 and 3
    EXPECT_EQ(run(u"show(Input.getKeyboardKeys()); show(Input.getMouseKeys()); show(Input.getJoystickKeys(0)); show(Input.getJoystickKeys(1));"),
              "[key.enter,key.z]\n[mouse.left]\n[joy0.right,joy0.btn1,joy0.btn3]\n[]\n");
    EXPECT_EQ(run(u"local k = Input.createKeyboard(); k.update(); show(k.isPressed(72)); show(k.getConfig()[2].keys[0]);"),
              "1\nkey.enter\n");
}

}  // namespace
}  // namespace Quillorane
