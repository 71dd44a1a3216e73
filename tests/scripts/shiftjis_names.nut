// A game unpacked from a Windows archive keeps Shift-JIS bytes in its folder name: it starts,
// and its files are found (in any letter case, with either separator).
print("started\n");
include("LIB\\X.NUT");
