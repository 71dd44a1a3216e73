// IO.BinaryReader and IO.BinaryWriter over loose files: values written and read
// back, the cursor, open options, blobs in and out, the end of a stream, and
// the errors of the constructors. ASCII only.
function show(v) {
    switch (typeof v) {
    case "string": return "'" + v + "'";
    case "float": return format("%.9g", v) + (format("%.9g", v).find(".") == null ? ".0" : "");
    case "array": local s = ""; foreach (i, x in v) s += (i ? ", " : "") + show(x); return "[" + s + "]";
    default: return v == null ? "null" : v.tostring();
    }
}
function p(name, v) { print(name + ": " + show(v) + "\n"); }
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }
function fileBytes(path) {
    local r = IO.BinaryReader(path), out = [];
    while (r.isReadable() == 1) out.push(r.readUint8());
    r.close();
    return out;
}
function blobBytes(b) {
    local out = [];
    b.setCursor(0);
    for (local i = 0; i < b.getLength(); i++) out.push(b.readUint8());
    return out;
}

// Every width, as the file holds it (little-endian); each write returns its bytes.
local w = IO.BinaryWriter("bin.dat");
p("writer", [w.isClosed(), w.isWritable(), w.getLength(), w.getCursor()]);
p("writes", [w.writeInt8(-2), w.writeUint8(0x1FF), w.writeInt16(-300), w.writeUint16(65000), w.writeInt32(-123456),
             w.writeFloat32(1.5), w.writeFloat64(0.1), w.flush(), w.getCursor(), w.getLength()]);
w.close();
p("writer_closed", [w.isClosed(), w.isWritable(), w.writeInt8(1), w.flush()]);
p("file_bytes", fileBytes("bin.dat"));

local r = IO.BinaryReader("bin.dat");
p("reader", [r.isClosed(), r.isReadable(), r.getLength(), r.getCursor()]);
p("reads", [r.readInt8(), r.readUint8(), r.readInt16(), r.readUint16(), r.readInt32(), r.readFloat32(),
            r.readFloat64() == 0.1, r.getCursor(), r.isReadable()]);
// At the end every read gives 0 (a float read 0.0), and the cursor stays.
p("reads_at_end", [r.readInt8(), r.readUint8(), r.readInt16(), r.readUint16(), r.readInt32(), r.readFloat32(),
                   r.readFloat64(), r.getCursor(), r.readBlob(), r.readBlob(5)]);
// A value with fewer bytes left than its width reads 0 and consumes nothing.
p("short_read", [r.setCursor(20), r.readInt32(), r.getCursor(), r.readInt16(), r.getCursor()]);
p("cursor", [r.setCursor(0), r.readInt8(), r.setCursor(22), r.setCursor(23), r.setCursor(-1), r.getCursor()]);
r.setCursor(3);
p("readBlob_cut", [blobBytes(r.readBlob(4)), r.getCursor(), blobBytes(r.readBlob(1000)).len(), r.getCursor()]);
r.setCursor(20);
p("readBlob_rest", [blobBytes(r.readBlob()), r.readBlob(), err(@() r.readBlob("x")), err(@() r.readBlob(1, 2))]);
r.close();
p("reader_closed", [r.isClosed(), r.isReadable(), r.readInt8(), r.readBlob()]);

// writeBlob: the whole blob, or from start cut at its end; 0 for an empty blob or a start outside it.
local b = IO.Blob(10);
for (local i = 0; i < 10; i++) b.writeUint8(i + 1);
local wb = IO.BinaryWriter("blob.dat");
p("writeBlob", [wb.writeBlob(b), wb.writeBlob(b, 5, 100), wb.writeBlob(b, 10, 1), wb.writeBlob(b, -1, 1),
                wb.writeBlob(b, 2, -1), wb.writeBlob(IO.Blob(0)), wb.writeBlob(b, 9, 1)]);
wb.close();
p("writeBlob_bytes", fileBytes("blob.dat"));
p("writeBlob_errors", [err(@() wb.writeBlob(null)), err(@() wb.writeBlob(b, 1))]);

// Options: 0 replaces the file, APPEND (4) adds at the end, END (2) starts at the end,
// TRUNCATE (1) empties; a reader opened with END starts at the end.
local a = IO.BinaryWriter("blob.dat", IO.OpenOption.APPEND);
a.writeUint8(99);
a.close();
p("append", fileBytes("blob.dat").len());
local e = IO.BinaryReader("blob.dat", IO.OpenOption.END);
p("reader_at_end", [e.getCursor(), e.readUint8(), e.setCursor(0), e.readUint8()]);
e.close();
local t = IO.BinaryWriter("blob.dat", 0);
t.writeUint8(5);
t.close();
p("replace", fileBytes("blob.dat"));
local sized = IO.BinaryWriter("blob.dat", IO.OpenOption.TRUNCATE);
p("truncate", [sized.getLength(), sized.writeInt16(0x0201), sized.getLength()]);
sized.close();

// A loose empty file can be sought to 0.
IO.BinaryWriter("empty.dat").close();
local z = IO.BinaryReader("empty.dat");
p("empty_file", [z.getLength(), z.setCursor(0), z.setCursor(1), z.isReadable(), z.readUint8(), z.readBlob()]);
z.close();

// Constructors: masks "s" and "si"; a file that cannot be opened is "failed create instance".
p("ctor_errors", [err(@() IO.BinaryReader()), err(@() IO.BinaryReader(1)), err(@() IO.BinaryReader("bin.dat", "0")),
                  err(@() IO.BinaryReader("bin.dat", 0, 0)), err(@() IO.BinaryReader("missing.dat")),
                  err(@() IO.BinaryWriter()), err(@() IO.BinaryWriter("nodir/x/y.dat")), err(@() IO.BinaryWriter("."))]);
p("arg_errors", [err(@() IO.BinaryWriter("blob.dat").writeInt8("x")).len() > 0, err(@() IO.BinaryReader("bin.dat").setCursor()).len() > 0]);
foreach (name in ["bin.dat", "blob.dat", "empty.dat"]) IO.File(name).remove();
p("cleanup", [IO.File("bin.dat").exists(), IO.File("blob.dat").exists()]);
