// IO.Blob: construction, the cursor, fixed-width values, copies between blobs
// and the bounds of every read and write. ASCII only.
function show(v) {
    switch (typeof v) {
    case "string": return "'" + v + "'";
    case "float": return format("%.9g", v) + (format("%.9g", v).find(".") == null && format("%.9g", v).find("n") == null ? ".0" : "");
    case "array": local s = ""; foreach (i, x in v) s += (i ? ", " : "") + show(x); return "[" + s + "]";
    default: return v == null ? "null" : v.tostring();
    }
}
function p(name, v) { print(name + ": " + show(v) + "\n"); }
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }
// Every byte of a blob (the cursor is kept).
function bytes(b) {
    local at = b.getCursor(), out = [];
    for (local i = 0; i < b.getLength(); i++) { b.setCursor(i); out.push(b.readUint8()); }
    if (at < b.getLength()) b.setCursor(at); else { b.setCursor(0); while (b.getCursor() < at) b.readUint8(); }
    return out;
}
function blobOf(list) {
    local b = IO.Blob(list.len());
    foreach (x in list) b.writeUint8(x);
    b.setCursor(0);
    return b;
}

// Construction: the mask is "i" (a float is truncated); a negative length or
// one that cannot be had is refused.
local b = IO.Blob(4);
p("new", [b.getLength(), b.getCursor(), bytes(b), IO.Blob(2.9).getLength(), IO.Blob(0).getLength()]);
p("ctor_errors", [err(@() IO.Blob()), err(@() IO.Blob("4")), err(@() IO.Blob(1, 2)), err(@() IO.Blob(-1))]);

// The cursor moves only inside the blob; writes fit or change nothing.
p("cursor", [b.setCursor(4), b.setCursor(-1), b.getCursor(), b.setCursor(3), b.getCursor(), b.setCursor(0)]);
p("write_fit", [b.writeInt32(7), b.getCursor(), b.writeInt8(1), b.getCursor(), bytes(b)]);
b.setCursor(2);
p("write_partial", [b.writeInt32(-1), b.writeFloat32(1.0), b.getCursor(), bytes(b), b.writeInt16(-2), bytes(b)]);
p("empty_blob", [IO.Blob(0).setCursor(0), IO.Blob(0).readInt8(), IO.Blob(0).writeInt8(1), IO.Blob(0).readBlob()]);

// Reads at the end give 0 and leave the cursor.
local r = blobOf([0xFF, 0x80, 0xFE, 0xFF, 0x01]);
p("reads", [r.readInt8(), r.readUint8(), r.readInt16(), r.getCursor(), r.readUint16(), r.readInt32(), r.getCursor(),
            r.readUint8(), r.getCursor(), r.readUint8(), r.readFloat32(), r.readFloat64(), r.getCursor()]);
r.setCursor(0);
p("uint16_int32", [r.readUint16(), r.readInt32(), r.getCursor()]);

// Floats: 32-bit as stored; 64-bit narrowed to the nearest single, both ways.
local f = IO.Blob(12);
p("float_writes", [f.writeFloat32(1.5), f.writeFloat64(0.1), f.getCursor(), bytes(f)]);
f.setCursor(0);
p("float_reads", [f.readFloat32(), f.readFloat64() == 0.1, typeof f.readFloat32()]);
local d = blobOf([0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F, 0, 0, 0, 0, 0, 0, 0xF0, 0x7F]);
p("double_0.1", [d.readFloat64() == 0.1, d.readFloat64()]);
local big = blobOf([0, 0, 0, 0, 0, 0, 0xF0, 0x47]);  // 2^128: beyond the singles
p("double_beyond_single", big.readFloat64() > 3.0e38);

// writeBlob: all of a source, or from start, cut at the source's end; a copy
// that does not fit between the cursor and the end changes nothing.
local src = blobOf([1, 2, 3, 4, 5, 6, 7, 8, 9, 10]);
local dst = IO.Blob(8);
p("writeBlob_range", [dst.writeBlob(src, 5, 100), dst.getCursor(), bytes(dst)]);
p("writeBlob_bad_start", [dst.writeBlob(src, 10, 1), dst.writeBlob(src, -1, 2), dst.writeBlob(src, 0, 0),
                          dst.writeBlob(src, 0, -3), dst.getCursor()]);
p("writeBlob_too_big", [dst.writeBlob(src), dst.writeBlob(src, 0, 4), dst.getCursor(), bytes(dst)]);
p("writeBlob_fits", [dst.writeBlob(src, 7, 3), dst.getCursor(), bytes(dst), dst.writeBlob(src, 9, 1)]);
p("writeBlob_empty", [IO.Blob(2).writeBlob(IO.Blob(0)), err(@() dst.writeBlob("x")), err(@() dst.writeBlob(src, 1))]);
local self = blobOf([1, 2, 3, 4]);
self.setCursor(1);
p("writeBlob_self", [self.writeBlob(self, 0, 3), bytes(self)]);

// readBlob copies from the cursor, at most what follows it; the cursor stays.
local rb = blobOf([10, 20, 30, 40, 50]);
rb.setCursor(2);
local all = rb.readBlob(), two = rb.readBlob(2), many = rb.readBlob(99), neg = rb.readBlob(-5);
p("readBlob", [bytes(all), bytes(two), bytes(many), bytes(neg), rb.getCursor(), all.getCursor(), rb.readBlob(0)]);
p("readBlob_float_size", bytes(rb.readBlob(1.9)));
rb.setCursor(4);
p("readBlob_last", [bytes(rb.readBlob()), rb.readUint8(), rb.readBlob(), rb.getCursor()]);
p("readBlob_errors", [err(@() rb.readBlob("2")), err(@() rb.readBlob(1, 2))]);
// The new blob comes from IO.Blob as the script sees it.
local made = [], three = blobOf([7, 8, 9]);
local realBlob = IO.Blob;
IO.Blob = function(n) { made.push(n); return realBlob(n + 1); };
local wider = three.readBlob();
IO.Blob = realBlob;
p("readBlob_through_IO.Blob", [made, bytes(wider)]);

// Wrong types raise; a method called on something else does too.
p("arg_errors", [err(@() b.writeInt8("z")), err(@() b.setCursor(null)), err(@() b.readInt8.call({}))].map(@(e) e.len() > 0));
