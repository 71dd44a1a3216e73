// The IO classes over a file inside an archive beside the game (pack.qla, made
// with qlapack from: Shadow.txt "archive copy"; data/sj.txt Shift-JIS
// text with CR LF; data/u16.txt UTF-16LE with a byte-order mark;
// data/values.bin little-endian values; data/sub/inner.txt; empty.txt, 0
// bytes): entries read exactly like loose files, are read-only, and a loose
// file of the same name comes first. ASCII only.
function show(v) {
    switch (typeof v) {
    case "string":
        local s = "";
        foreach (c in v) s += c == '\n' ? "\\n" : c == '\r' ? "\\r" : (c < 32 || c > 126) ? format("\\u%04X", c) : c.tochar();
        return "'" + s + "'";
    case "float": return format("%.9g", v);
    case "array": local s = ""; foreach (i, x in v) s += (i ? ", " : "") + show(x); return "[" + s + "]";
    default: return v == null ? "null" : v.tostring();
    }
}
function p(name, v) { print(name + ": " + show(v) + "\n"); }
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }
function blobBytes(b) {
    local out = [];
    for (local i = 0; i < b.getLength(); i++) out.push(b.readUint8());
    return out;
}

// File questions; names are found without regard to case or separator.
local sj = IO.File("data/sj.txt");
p("entry", [sj.exists(), sj.isFile(), sj.isDirectory(), sj.isHidden(), sj.isReadOnry(), sj.getSize(), sj.getName(),
            sj.getExtension(), sj.getNameWithoutExtension(), sj.getParentPath()]);
p("entry_case", [IO.File("DATA\\SJ.TXT").exists(), IO.File("DATA\\SJ.TXT").getSize(), IO.File("Data/Sub").isDirectory()]);
local dir = IO.File("data");
local names = dir.getChildren().map(@(f) f.getName());
names.sort();
p("directory", [dir.isDirectory(), dir.isFile(), dir.getSize(), names, sj.getParent().isDirectory(),
                sj.getParent().getChildren().len()]);
p("read_only", [sj.remove(), sj.makeFile(), sj.makeDirectory(), dir.makeDirectory(), sj.exists()]);

// Text: the same helpers and readers as for loose files.
local A = (0x3042).tochar(), I = (0x3044).tochar(), U = (0x3046).tochar();
p("readTextFile", IO.readTextFile("data/sj.txt") == A + I + U + "\nabc\nlast");
local tr = sj.createTextReader();
p("text_reader", [tr.readLine() == A + I + U, tr.readLine(), tr.readLines(), tr.isReadable()]);
tr.close();
p("text_reader_closed", [tr.isClosed(), tr.read()]);
p("utf16_bom", IO.readTextFile("data/u16.txt", IO.Encoding.UTF16) == "A\n" + (0x3042).tochar());
p("text_option_end", IO.TextReader("data/sj.txt", IO.OpenOption.END).readAll());

// Binary: values, the cursor, blobs.
local r = IO.BinaryReader("data/values.bin");
p("binary", [r.getLength(), r.readInt8(), r.readUint8(), r.readInt16(), r.readUint16(), r.readInt32(), r.readFloat32(),
             r.readFloat64() == 0.1, r.getCursor(), blobBytes(r.readBlob(1000)), r.readInt8(), r.readBlob()]);
p("binary_cursor", [r.setCursor(25), r.setCursor(26), r.setCursor(1), r.readUint8(), r.isReadable()]);
r.close();
p("binary_closed", [r.isClosed(), r.isReadable(), r.readUint8(), r.setCursor(0)]);
local blob = IO.File("data/values.bin").createBlob();
p("createBlob", [blob.getLength(), blob.readInt8(), blob.readUint8()]);

// An empty entry: no blob, no text, yet its reader can be sought to 0 like an empty loose file's.
local e = IO.BinaryReader("empty.txt");
p("empty_entry", [IO.File("empty.txt").getSize(), IO.File("empty.txt").createBlob(), IO.readTextFile("empty.txt"),
                  e.getLength(), e.setCursor(0), e.setCursor(1), e.readUint8(), e.readBlob()]);

// Writing a name the archive holds makes a loose file, which is found first from then on;
// removing it uncovers the archive's entry again.
p("shadow_before", [IO.readTextFile("shadow.txt"), IO.File("Shadow.txt").isReadOnry(), IO.File("Shadow.txt").remove()]);
p("shadow_write", [IO.writeTextFile("Shadow.txt", "loose copy"), IO.readTextFile("SHADOW.TXT"),
                   IO.File("Shadow.txt").isReadOnry(), IO.File("shadow.txt").getSize()]);
p("shadow_remove", [IO.File("Shadow.txt").remove(), IO.readTextFile("shadow.txt"), IO.File("Shadow.txt").remove()]);

// A missing entry is missing, whatever the class.
p("missing", [IO.File("data/none.txt").exists(), err(@() IO.BinaryReader("data/none.txt")),
              err(@() IO.TextReader("data/none.txt")), IO.readTextFile("data/none.txt"), IO.File("data/none.txt").createBlob()]);
