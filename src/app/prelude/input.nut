// `Input` prelude: run once at start-up with the root table as `this`, after
// the native class `Input.Controller_` and the cursor functions have been put
// into `Input`. It adds `Input.Controller`, which remembers how it was
// configured, the tables of every keyboard, mouse and joystick key name, and
// ready-made controllers that report which of those keys are held. Functions
// of the table find its other slots through `this`, so they are meant to be
// called through the table (`Input.getKeyboardKeys()`).

// A controller that records its configuration: m_config maps each bound input
// to {type = "button" or "axis", keys = [key names]}.
class Input.Controller extends Input.Controller_
{
    m_config = null;

    constructor()
    {
        base.constructor();
        m_config = {};
    }

    // Without a key: unbinds every input. With one: unbinds that input.
    function clear(key = null)
    {
        if (key == null) {
            base.clear();
            m_config = {};
        } else {
            base.clear(key);
            if (key in m_config) delete m_config[key];
        }
    }

    function setButton(key, attachKeys)
    {
        local result = base.setButton(key, attachKeys);
        m_config[key] <- {type = "button", keys = clone attachKeys};
        return result;
    }

    function setAxis(key, attachKeys)
    {
        local result = base.setAxis(key, attachKeys);
        m_config[key] <- {type = "axis", keys = clone attachKeys};
        return result;
    }

    // Replaces the whole configuration with a table shaped like m_config.
    // Stops at an entry of another type and returns false, keeping the
    // entries bound so far.
    function setConfig(config)
    {
        clear();
        foreach (key, entry in config) {
            switch (entry.type) {
            case "button": setButton(key, entry.keys); break;
            case "axis": setAxis(key, entry.keys); break;
            default: return false;
            }
        }
        return true;
    }

    // The recorded table itself (changing it changes the record, not the
    // bindings).
    function getConfig()
    {
        return m_config;
    }
}

// Button i of the keyboard controller is keyboardTable__[i].
Input.keyboardTable__ <- [
    "key.backspace", "key.tab", "key.enter", "key.pause", "key.capslock",
    "key.escape", "key.space", "key.lshift", "key.rshift", "key.lctrl",
    "key.rctrl", "key.lalt", "key.ralt", "key.lwin", "key.rwin",
    "key.pageup", "key.pagedown", "key.end", "key.home", "key.insert",
    "key.delete", "key.left", "key.up", "key.right", "key.down",
    "key.f1", "key.f2", "key.f3", "key.f4", "key.f5", "key.f6",
    "key.f7", "key.f8", "key.f9", "key.f10", "key.f11", "key.f12",
    "key.0", "key.1", "key.2", "key.3", "key.4",
    "key.5", "key.6", "key.7", "key.8", "key.9",
    "key.a", "key.b", "key.c", "key.d", "key.e", "key.f", "key.g",
    "key.h", "key.i", "key.j", "key.k", "key.l", "key.m", "key.n",
    "key.o", "key.p", "key.q", "key.r", "key.s", "key.t", "key.u",
    "key.v", "key.w", "key.x", "key.y", "key.z",
    "key.colon", "key.semcolon", "key.comma", "key.minus", "key.dot",
    "key.slash", "key.at", "key.lsb", "key.yen", "key.rsb", "key.caret",
    "key.backslash",
    "key.num0", "key.num1", "key.num2", "key.num3", "key.num4",
    "key.num5", "key.num6", "key.num7", "key.num8", "key.num9",
    "key.numadd", "key.numsub", "key.nummul", "key.numdiv", "key.numdot",
    "key.numenter"
];

Input.mouseTable__ <- [
    "mouse.left", "mouse.right", "mouse.middle", "mouse.ex1", "mouse.ex2",
    "mouse.wheel", "mouse.wheelu", "mouse.wheeld"
];

// joyTable__[n]: the sixteen names of joystick n (directions, then buttons).
Input.joyTable__ <- [];
for (local n = 0; n < 4; n++) {
    local prefix = "joy" + n + ".";
    local names = [prefix + "left", prefix + "right", prefix + "up", prefix + "bottom"];
    for (local b = 1; b <= 12; b++) names.push(prefix + "btn" + b);
    Input.joyTable__.push(names);
}

// A controller with one button per name of table, button i bound to [table[i]].
function Input::createFromTable__(table)
{
    local controller = this.Controller();
    foreach (i, name in table) controller.setButton(i, [name]);
    return controller;
}

function Input::createKeyboard()
{
    return this.createFromTable__(this.keyboardTable__);
}

function Input::createMouse()
{
    return this.createFromTable__(this.mouseTable__);
}

// Null when ID is not 0 to 3.
function Input::createJoystick(ID)
{
    if (ID < 0 || ID > 3) return null;
    return this.createFromTable__(this.joyTable__[ID]);
}

// Updates controller and lists the names of its pressed buttons in table order.
function Input::pressedKeys__(controller, table)
{
    controller.update();
    local keys = [];
    foreach (i, name in table) {
        if (controller.isPressed(i)) keys.push(name);
    }
    return keys;
}

function Input::getKeyboardKeys()
{
    return this.pressedKeys__(this.keyboard__, this.keyboardTable__);
}

function Input::getMouseKeys()
{
    return this.pressedKeys__(this.mouse__, this.mouseTable__);
}

// Null when ID is not 0 to 3.
function Input::getJoystickKeys(ID)
{
    if (ID < 0 || ID > 3) return null;
    return this.pressedKeys__(this.joysticks__[ID], this.joyTable__[ID]);
}

// The controllers behind the get*Keys functions, made once.
Input.keyboard__ <- Input.createKeyboard();
Input.mouse__ <- Input.createMouse();
Input.joysticks__ <- [];
for (local n = 0; n < 4; n++) Input.joysticks__.push(Input.createJoystick(n));
