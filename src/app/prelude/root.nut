// Root-table prelude: run once at start-up with the root table as `this`,
// before the game's own scripts. Every name is a new slot of the root table,
// so a game may replace any of them. Functions reach each other and the
// built-ins through `::` so that they find the root slots as they are at call
// time, whatever `this` they are called with.

// Exit flag: the host reads `qlse_exit_flag___` at the end of every frame and
// ends the run when it is the bool true. The code is kept for the script only.
::qlse_exit_flag___ <- false;
::qlse_exit_code___ <- 0;

// Ends the script's part of this frame; the script continues in the next one.
function halt()
{
    ::suspend();
}

// Asks the host to end the run at the end of this frame, then gives the frame
// back. Run inside a thread it suspends that thread only.
function exit(exit_code = 0)
{
    ::qlse_exit_flag___ <- true;
    ::qlse_exit_code___ <- exit_code;
    ::suspend();
}

// Gives every following frame back to the host: the game keeps running
// (presenting frames, handling messages) but the script never continues.
function stop()
{
    while (true) ::suspend();
}

// The VM's own print, kept before `print` is replaced below.
::squirrel_default_print__ <- ::print;

// The host formats each print into a fixed buffer, so long strings are handed
// over in slices of at most 400 UTF-16 units, one built-in print per slice.
// A slice never ends between the two halves of a surrogate pair, so each
// slice is valid text on its own. Values other than strings are printed by
// the built-in print as they are (it writes their text).
function print(value)
{
    if (typeof value != "string") {
        ::squirrel_default_print__(value);
        return;
    }
    local length = value.len();
    if (length <= 400) {
        if (length > 0) ::squirrel_default_print__(value);
        return;
    }
    local start = 0;
    while (start < length) {
        local end = start + 400;
        if (end >= length) {
            end = length;
        } else {
            local last = value[end - 1];
            if (last >= 0xD800 && last <= 0xDBFF) end--;
        }
        ::squirrel_default_print__(value.slice(start, end));
        start = end;
    }
}

function println(value)
{
    ::print(value);
    ::print("\n");
}

// print_r: prints a value and, for arrays, tables, classes and instances, its
// elements, one per line, four blanks of indentation per level:
//
//   (array : 0x...)
//   {
//       [0] => 1
//       [1] => "x"
//   }
//
// Everything is written through `::print`, looked up at each call, so a script
// that replaces `print` receives all of the output.
function print_r(value)
{
    ::printv_element(0, value);
}

// Writes `count` levels of indentation.
function printv_indent(count)
{
    local blanks = "";
    for (local i = 0; i < count; i++) blanks += "    ";
    ::print(blanks);
}

// Writes a string between double quotes on one line: line feeds and tabs are
// shown as \n and \t.
function printv_string(str)
{
    local out = "\"";
    local from = 0;
    local length = str.len();
    for (local i = 0; i < length; i++) {
        local c = str[i];
        if (c == '\n' || c == '\t') {
            out += str.slice(from, i) + (c == '\n' ? "\\n" : "\\t");
            from = i + 1;
        }
    }
    out += str.slice(from) + "\"";
    ::print(out);
}

// Writes `value` from the current position to the end of its last line; the
// lines of its elements are indented `indent` + 1 levels, its braces `indent`.
function printv_element(indent, value)
{
    local kind = typeof value;
    if (kind == "null") {
        ::print("null\n");
        return;
    }
    if (kind == "string") {
        ::printv_string(value);
        ::print("\n");
        return;
    }
    // The header line is the value's own text, as the built-in print writes it.
    ::print(value);
    ::print("\n");
    if (kind != "array" && kind != "table" && kind != "class" && kind != "instance") return;

    ::printv_indent(indent);
    ::print("{\n");
    if (kind == "instance") {
        // An instance lists the members of its class with its own values.
        foreach (key, member in value.getclass()) {
            ::printv_indent(indent + 1);
            ::print("[" + key + "] => ");
            ::printv_element(indent + 1, value[key]);
        }
    } else {
        foreach (key, element in value) {
            ::printv_indent(indent + 1);
            ::print("[" + key + "] => ");
            ::printv_element(indent + 1, element);
        }
    }
    ::printv_indent(indent);
    ::print("}\n");
}

// array2(d1, d2, fill): d1 rows of d2 elements, each element `fill`. Every row
// is its own array.
function array2(d1, d2, fill = null)
{
    local rows = ::array(d1);
    for (local i = 0; i < d1; i++) rows[i] = ::array(d2, fill);
    return rows;
}

function array3(d1, d2, d3, fill = null)
{
    local planes = ::array(d1);
    for (local i = 0; i < d1; i++) planes[i] = ::array2(d2, d3, fill);
    return planes;
}

function array4(d1, d2, d3, d4, fill = null)
{
    local blocks = ::array(d1);
    for (local i = 0; i < d1; i++) blocks[i] = ::array3(d2, d3, d4, fill);
    return blocks;
}
