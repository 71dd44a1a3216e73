// `IO` prelude: run once at start-up with the root table as `this`, after the
// native classes and enumerations have been put into `IO`. It adds the
// whole-file text helpers. Each opens the file through the classes of the `IO`
// table as they are when it is called, so a script that replaced
// `IO.TextReader` or `IO.TextWriter` changes what the helpers use; every slot
// may itself be replaced.

// The whole text of the file at `path`, read with the given encoding; null
// when the file cannot be opened or anything else goes wrong.
function IO::readTextFile(path, encoding = IO.Encoding.SJIS)
{
    try {
        local reader = ::IO.TextReader(path, 0, encoding);
        local text = reader.readAll();
        reader.close();
        return text;
    } catch (e) {
        return null;
    }
}

// Writes `text` (any value, as its string) into the file at `path` with the
// given encoding and the open option `option`; true when every character was
// written. Shared by the two helpers below, and kept out of the table.
local writeText = function(path, text, encoding, option)
{
    try {
        local s = text.tostring();
        local writer = ::IO.TextWriter(path, option, encoding);
        local written = writer.write(s);
        writer.close();
        return written == s.len();
    } catch (e) {
        return false;
    }
};

// Creates or replaces the file at `path` with `text`.
function IO::writeTextFile(path, text, encoding = IO.Encoding.SJIS)
{
    return writeText(path, text, encoding, 0);
}

// Adds `text` at the end of the file at `path`, creating it when it is missing.
function IO::appendTextFile(path, text, encoding = IO.Encoding.SJIS)
{
    return writeText(path, text, encoding, ::IO.OpenOption.APPEND);
}
