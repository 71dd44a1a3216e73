// IO.TextReader/TextWriter in every encoding, StringReader/StringWriter, the
// write forms with a count and a start, line ends, damaged text, and the IO
// prelude's whole-file helpers. ASCII only: other characters are built with
// tochar() and file bytes are written with a BinaryWriter.
function show(v) {
    switch (typeof v) {
    case "string":
        local s = "";
        foreach (c in v) s += c == '\n' ? "\\n" : c == '\r' ? "\\r" : (c < 32 || c > 126) ? format("\\u%04X", c) : c.tochar();
        return "'" + s + "'";
    case "array": local s = ""; foreach (i, x in v) s += (i ? ", " : "") + show(x); return "[" + s + "]";
    default: return v == null ? "null" : v.tostring();
    }
}
function p(name, v) { print(name + ": " + show(v) + "\n"); }
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }
function hex(path) {
    local r = IO.BinaryReader(path), s = "";
    while (r.isReadable() == 1) s += (s.len() ? " " : "") + format("%02X", r.readUint8());
    r.close();
    return s;
}
function putBytes(path, bytes) {
    local w = IO.BinaryWriter(path);
    foreach (x in bytes) w.writeUint8(x);
    w.close();
}
function writeWith(encoding, text) {
    local w = IO.TextWriter("t.txt", 0, encoding);
    local n = w.write(text);
    w.close();
    return [n, hex("t.txt")];
}
function readWith(bytes, encoding) {
    putBytes("t.txt", bytes);
    local r = IO.TextReader("t.txt", 0, encoding);
    local text = r.readAll();
    r.close();
    return text;
}
local A = (0x3042).tochar(), E = (0xE9).tochar();  // HIRAGANA A, e with acute

p("enum", [IO.Encoding.SJIS, IO.Encoding.SHIFTJIS, IO.Encoding.UTF8, IO.Encoding.UTF16, IO.Encoding.UTF16LE,
           IO.Encoding.UTF16BE, IO.OpenOption.TRUNCATE, IO.OpenOption.END, IO.OpenOption.APPEND]);

// Writing: LF becomes CR LF; UTF16 writes big-endian like UTF16BE; no byte-order mark.
p("write_sjis", writeWith(IO.Encoding.SJIS, A + "b\n"));
p("write_default", (function() { local w = IO.TextWriter("t.txt"); w.write(A); w.close(); return hex("t.txt"); })());
p("write_utf8", writeWith(IO.Encoding.UTF8, A + E));
p("write_utf16", writeWith(IO.Encoding.UTF16, "A" + A));
p("write_utf16be", writeWith(IO.Encoding.UTF16BE, "A" + A));
p("write_utf16le", writeWith(IO.Encoding.UTF16LE, "A\n"));
p("write_sjis_unmappable", writeWith(IO.Encoding.SJIS, E + "x")[0]);

// Reading: CR LF folds to LF, a lone CR stays; UTF16 follows a byte-order mark, else big-endian.
p("read_sjis", readWith([0x82, 0xA0, 0x41, 0x0D, 0x0A, 0x42, 0x0D, 0x43], IO.Encoding.SJIS) == A + "A\nB\rC");
p("read_utf8", readWith([0xE3, 0x81, 0x82, 0xC3, 0xA9], IO.Encoding.UTF8) == A + E);
p("read_utf16_bom_le", readWith([0xFF, 0xFE, 0x41, 0x00, 0x42, 0x30], IO.Encoding.UTF16) == "A" + A);
p("read_utf16_no_bom", readWith([0x00, 0x41, 0x30, 0x42], IO.Encoding.UTF16) == "A" + A);
p("read_utf16le", readWith([0x41, 0x00, 0x0D, 0x00, 0x0A, 0x00], IO.Encoding.UTF16LE));
p("read_utf16be", readWith([0x00, 0x41, 0x00, 0x42], IO.Encoding.UTF16BE));
// Damaged text ends the text where it starts, in every encoding.
p("damaged", [readWith([0x41, 0x82], IO.Encoding.SJIS), readWith([0x41, 0xFF, 0x42], IO.Encoding.UTF8),
              readWith([0x41, 0xC3], IO.Encoding.UTF8), readWith([0x00, 0x41, 0x00], IO.Encoding.UTF16BE),
              readWith([0x41, 0x00, 0x42], IO.Encoding.UTF16LE), readWith([0xFF, 0xFE], IO.Encoding.UTF16)]);

// The reader's methods.
putBytes("t.txt", [0x61, 0x0D, 0x0A, 0x62, 0x62, 0x0A, 0x0A, 0x63]);
local r = IO.TextReader("t.txt");
p("reader", [r.isClosed(), r.isReadable(), r.read(), r.read(), r.read(2), r.readLine(), r.readLines(),
             r.isReadable(), r.read(), r.read(5), r.readLine(), r.readAll(), r.readLines(3)]);
r.close();
p("reader_closed", [r.isClosed(), r.isReadable(), r.read(), r.readAll()]);
r = IO.TextReader("t.txt");
p("readLines_count", [r.readLines(2), r.readLines(0), r.readLines(-1), r.read(0), r.read(-4), r.readLines(9)]);
// createTextReader(n) opens with option n and Shift-JIS; the classes come from IO as the script sees it.
putBytes("t.txt", [0x82, 0xA0]);
p("createTextReader", [IO.File("t.txt").createTextReader().readAll() == A, IO.File("t.txt").createTextReader(0).readAll() == A,
                       IO.File("t.txt").createTextReader(2).readAll(), err(@() IO.File("t.txt").createTextReader(1, 1))]);
local realReader = IO.TextReader, seen = [];
IO.TextReader = function(path, option) { seen.push(option); return realReader(path, option, IO.Encoding.UTF16LE); };
p("createTextReader_through_IO", [IO.File("t.txt").createTextReader(0).readAll() == (0xA082).tochar(), seen]);
IO.TextReader = realReader;
local tw = IO.File("t.txt").createTextWriter(IO.OpenOption.APPEND);
tw.write("z");
tw.close();
p("createTextWriter_append", hex("t.txt"));

// write with a count and a start: the count is cut at the text's end, a start
// outside the text writes nothing. A file writer refuses a count beyond the text.
local sw = IO.StringWriter();
p("string_write", [sw.write("abc"), sw.write("abcdef", 4, 10), sw.write("xyz", 2), sw.write("xyz", 9), sw.write("q", 5, 1),
                   sw.write("q", -1, 1), sw.write("q", 1, 1), sw.write("qr", 0, -2), sw.write(12), sw.getString()]);
p("string_writeLine", [sw.writeLine("L"), sw.writeLine("Lmn", 1), sw.writeLine("Lmn", 1, 1), sw.writeLine("L", 3, 1),
                       sw.writeLine("x", -3), sw.flush(), sw.getString()]);
sw.close();
p("string_closed", [sw.isClosed(), sw.isWritable(), sw.write("x"), sw.writeLine("x"), sw.getString()]);
local fw = IO.TextWriter("t.txt");
p("file_write", [fw.isClosed(), fw.isWritable(), fw.write("abcdef", 4, 10), fw.write("abc", 9), fw.write("abc", 2),
                 fw.write("abc", 7, 1), fw.writeLine("x"), fw.writeLine("xy", 5), fw.writeLine("xyz", 1, 1), fw.flush()]);
fw.close();
p("file_written", [hex("t.txt"), fw.isClosed(), fw.write("x"), fw.flush()]);

// StringReader: no line-end folding; read() past the end gives U+FFFF, readAll "".
local sr = IO.StringReader("ab\r\ncd\n");
p("string_reader", [sr.isReadable(), sr.readLine(), sr.read(1), sr.readLines(), sr.read(), sr.readAll(), sr.read(3),
                    sr.isReadable(), sr.isClosed()]);
p("string_reader_lines", [IO.StringReader("a\nb\n").readLines(), IO.StringReader("a\nb").readLines(), err(@() IO.StringReader(42))]);
sr.close();
p("string_reader_closed", [sr.isClosed(), sr.read(), sr.readAll(), sr.readLines()]);

// Constructors.
p("ctor_errors", [err(@() IO.TextReader()), err(@() IO.TextReader("t.txt", 0, 0, 0)), err(@() IO.TextReader("t.txt", "0")),
                  err(@() IO.TextReader("missing.txt")), err(@() IO.TextReader("t.txt", 0, 6)),
                  err(@() IO.TextReader("t.txt", 0, 0)), err(@() IO.StringReader()), err(@() IO.StringReader(1, 2)),
                  err(@() IO.TextWriter("nodir/x/t.txt"))]);
// A writer whose encoding is unknown is refused before the file is opened: the file keeps its text.
putBytes("t.txt", [0x41]);
p("bad_encoding_keeps_file", [err(@() IO.TextWriter("t.txt", 0, 9)), hex("t.txt")]);

// The prelude: readTextFile, writeTextFile (replaces), appendTextFile (creates, then appends).
p("writeTextFile", [IO.writeTextFile("w.txt", A + "1\n"), hex("w.txt"), IO.writeTextFile("w.txt", "2", IO.Encoding.UTF16LE),
                    hex("w.txt"), IO.writeTextFile("w.txt", 3.5), IO.readTextFile("w.txt")]);
IO.File("w.txt").remove();
p("appendTextFile", [IO.appendTextFile("w.txt", "a"), IO.appendTextFile("w.txt", "b\n", IO.Encoding.UTF8), hex("w.txt"),
                     IO.readTextFile("w.txt"), IO.readTextFile("w.txt", IO.Encoding.UTF16BE) == (0x6162).tochar() + (0x0D0A).tochar()]);
p("helpers_fail", [IO.readTextFile("missing.txt"), IO.readTextFile("w.txt", 7), IO.writeTextFile("nodir/x/w.txt", "a"),
                   IO.appendTextFile("w.txt", "a", 0), IO.writeTextFile(".", "a"), hex("w.txt")]);
// The helpers use IO.TextReader and IO.TextWriter as they are when called.
IO.TextReader = function(path, option, encoding) { throw "replaced"; };
p("helpers_through_IO", IO.readTextFile("w.txt"));
IO.TextReader = realReader;
p("helper_copy", (function() { local f = IO.readTextFile; return f("w.txt") != null; })());
foreach (name in ["t.txt", "w.txt"]) IO.File(name).remove();
p("cleanup", [IO.File("t.txt").exists(), IO.File("w.txt").exists()]);
