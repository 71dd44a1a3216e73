// `Util` prelude: run once at start-up with the root table as `this`, after
// the native classes `Util.Timer` and `Util.Fps` have been put into `Util`.
// It adds the frame wait, serialisation and the counter classes. Functions of
// the table find its other slots through `this`, so they are meant to be
// called through the table (`Util.fwait(60)`); every slot may be replaced.

// The frame-rate limiter shared by every `Util.fwait`.
Util.g_qlse_fps <- Util.Fps(60);

// Ends this frame, then at the start of the next one waits until that frame
// is due at `fps` frames per second. The limiter's schedule is kept while the
// rate stays the same.
function Util::fwait(fps)
{
    local limiter = this.g_qlse_fps;
    if (limiter.getFps() != fps) limiter.setFps(fps);
    ::suspend();
    limiter.wait();
}

// ---------------------------------------------------------------- serialize

// Squirrel source text for a value, read back by `deserialize`: null,
// integers, floats, bools, strings, arrays and tables of these, and instances
// that have their own `serialize()` returning such text.
function Util::serialize(value)
{
    switch (typeof value) {
    case "null":
        return "null";
    case "integer":
    case "float":
    case "bool":
        return value.tostring();
    case "string":
        return this.serialize_string_(value);
    case "array":
        return this.serialize_array_(value);
    case "table":
        return this.serialize_table_(value);
    case "instance":
        return this.serialize_instance_(value);
    }
    throw "Util.serialize: " + typeof value + " is not supported";
}

// A string literal: backslashes, double quotes, line feeds, carriage returns
// and NULs are escaped (the compiler refuses a raw line feed in a literal and
// would not keep a raw NUL); everything else is copied as it is.
function Util::serialize_string_(value)
{
    local out = "\"";
    local from = 0;
    local length = value.len();
    for (local i = 0; i < length; i++) {
        local escaped = null;
        switch (value[i]) {
        case '\\': escaped = "\\\\"; break;
        case '"': escaped = "\\\""; break;
        case '\n': escaped = "\\n"; break;
        case '\r': escaped = "\\r"; break;
        case 0: escaped = "\\0"; break;
        }
        if (escaped != null) {
            out += value.slice(from, i) + escaped;
            from = i + 1;
        }
    }
    return out + value.slice(from) + "\"";
}

// "[a,b,]": every element is followed by a comma.
function Util::serialize_array_(value)
{
    local out = "[";
    foreach (element in value) out += this.serialize(element) + ",";
    return out + "]";
}

// "{a=1,[2]=3,[\"not a name\"]=4,}": a key that can stand as a name is written
// plainly; any other key, including strings that are reserved words or are
// not identifiers, is written serialised between brackets.
function Util::serialize_table_(value)
{
    local out = "{";
    foreach (key, element in value) {
        if (typeof key == "string" && this.serialize_is_name_(key)) out += key;
        else out += "[" + this.serialize(key) + "]";
        out += "=" + this.serialize(element) + ",";
    }
    return out + "}";
}

// Instances serialise themselves.
function Util::serialize_instance_(value)
{
    if (!("serialize" in value)) throw "Util.serialize: instance is not implements 'serialize' function";
    return value.serialize();
}

// Words the compiler reads as keywords, which cannot stand as slot names.
Util.serialize_reserved_ <- {};
foreach (word in ["while", "do", "if", "else", "break", "continue", "return", "null", "function",
                  "local", "for", "foreach", "in", "typeof", "base", "delete", "try", "catch",
                  "throw", "clone", "yield", "resume", "switch", "case", "default", "this",
                  "class", "extends", "constructor", "instanceof", "true", "false", "static",
                  "enum", "const"]) {
    Util.serialize_reserved_[word] <- true;
}

// Whether a table key can be written as a plain name: ASCII letters, digits
// and underscores, not starting with a digit, and not a reserved word.
function Util::serialize_is_name_(key)
{
    local length = key.len();
    if (length == 0) return false;
    for (local i = 0; i < length; i++) {
        local c = key[i];
        local letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
    }
    return !(key in this.serialize_reserved_);
}

// The value that the text `value` (as written by `serialize`) stands for.
function Util::deserialize(value)
{
    return ::eval("return " + value + ";");
}

// ----------------------------------------------------------------- counters
// Every counter has get(), set(value), inc(step = 1) and dec(step = 1); a
// clone is an independent counter with the same state.

// A plain counter without limits.
class Util.Counter
{
    m_value = 0;

    constructor(value = 0)
    {
        m_value = value;
    }

    function get() { return m_value; }
    function set(value) { m_value = value; }
    function inc(step = 1) { m_value += step; }
    function dec(step = 1) { m_value -= step; }
}

// A counter that wraps around within [min, max]: it moves one unit at a time,
// and a unit that goes past max lands on min (and past min lands on max).
class Util.LoopCounter
{
    m_min = 0;
    m_max = 0;
    m_value = 0;

    constructor(min, max, value = null)
    {
        if (min > max) throw "Util.LoopCounter: min > max";
        m_min = min;
        m_max = max;
        if (value == null) m_value = min;
        else set(value);
    }

    function get() { return m_value; }

    function set(value)
    {
        if (value < m_min || value > m_max) throw "Util.LoopCounter: value is out range";
        m_value = value;
    }

    function inc(step = 1)
    {
        local unit = step < 0 ? -1 : 1;
        local count = step * unit;
        // With whole numbers, going once round the range changes nothing, so
        // only the remainder of the steps is walked.
        local span = m_max - m_min + 1;
        if (typeof count == "integer" && typeof span == "integer" && span > 0
            && typeof m_value == "integer" && count >= span) {
            count = count % span;
        }
        while (count > 0) {
            m_value += unit;
            if (m_value < m_min) m_value = m_max;
            else if (m_value > m_max) m_value = m_min;
            count--;
        }
    }

    function dec(step = 1) { inc(-step); }
    function getMin() { return m_min; }
    function getMax() { return m_max; }
}

// A counter held within [min, max]: a step goes all the way at once and the
// result is clamped.
class Util.StopCounter
{
    m_min = 0;
    m_max = 0;
    m_value = 0;

    constructor(min, max, value = null)
    {
        if (min > max) throw "Util.StopCounter: min > max";
        m_min = min;
        m_max = max;
        if (value == null) m_value = min;
        else set(value);
    }

    function get() { return m_value; }

    function set(value)
    {
        if (value < m_min || value > m_max) throw "Util.StopCounter: value is out range";
        m_value = value;
    }

    function inc(step = 1)
    {
        local value = m_value + step;
        if (value < m_min) value = m_min;
        else if (value > m_max) value = m_max;
        m_value = value;
    }

    function dec(step = 1) { inc(-step); }
    function getMin() { return m_min; }
    function getMax() { return m_max; }
}

// Another counter with inc and dec swapped.
class Util.ReverseCounter
{
    m_counter = null;

    constructor(counter)
    {
        m_counter = counter;
    }

    function get() { return m_counter.get(); }
    function set(value) { m_counter.set(value); }
    function inc(step = 1) { m_counter.dec(step); }
    function dec(step = 1) { m_counter.inc(step); }

    // A clone wraps its own copy of the counter.
    function _cloned(original)
    {
        m_counter = clone original.m_counter;
    }
}
