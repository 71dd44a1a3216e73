// Input in a headless game: the cursor functions and the visibility flag
// across frames, the controller classes and the key-name tables. No key is
// held in a headless run. Compared with input_cursor.expected.
function show(v) {
    switch (typeof v) {
    case "string": return "'" + v + "'";
    case "float": return v.tostring() + (v.tostring().find(".") == null ? ".0" : "");
    case "array": local s = ""; foreach (i, x in v) s += (i ? ", " : "") + show(x); return "[" + s + "]";
    case "table":
        local keys = []; foreach (k, x in v) keys.push(k);
        keys.sort(@(a, b) (typeof a + a) <=> (typeof b + b));
        local s = ""; foreach (i, k in keys) s += (i ? ", " : "") + show(k) + ": " + show(v[k]); return "{" + s + "}";
    default: return v == null ? "null" : v.tostring();
    }
}
function p(name, v) { print(name + ": " + show(v) + "\n"); }
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }
p("visible_at_start", Input.isCursorVisible());
local flags = [];
foreach (value in [false, "x", null, 0.0, 1, 0, 2, true]) {
    Input.setCursorVisible(value);
    flags.push(Input.isCursorVisible());
}
p("visible_truth", flags);
Input.setCursorVisible(false);
Input.setCursorPosition(10, 20);
local at = Input.getCursorPosition();
p("position", [typeof at, at.len(), typeof at[0], typeof at[1]]);
p("position_errors", [err(@() Input.setCursorPosition(1)), err(@() Input.setCursorPosition("a", 2))]);
Util.fwait(60);  // the end-of-frame rule runs with the flag cleared
Util.fwait(60);
p("still_hidden_flag", Input.isCursorVisible());
Input.setCursorVisible(true);

local c = Input.Controller();
p("controller", [c instanceof Input.Controller_, c.setButton(1, ["key.enter", "mouse.left"]), c.update(),
                 c.isPushed(1), c.isPressed(1), c.isReleased(1), c.getInput(1), c.getKeys()]);
p("controller_errors", [err(@() Input.Controller_(1)), err(@() c.isPressed()), err(@() c.setAxis(1, 5))]);
p("tables", [Input.keyboardTable__.len(), Input.mouseTable__, Input.joyTable__[1].slice(0, 5)]);
p("no_keys", [Input.getKeyboardKeys(), Input.getMouseKeys(), Input.getJoystickKeys(3), Input.getJoystickKeys(4)]);
p("shared", [Input.keyboard__.getKeys().len(), Input.mouse__.getKeys().len(), Input.joysticks__.len(),
             Input.createJoystick(2).getConfig()[15].keys]);
