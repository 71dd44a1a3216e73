// What the bootstrap defines before start.nut: versions, DEBUG, cmdline, and the scripts of
// setup.nut included in order, their paths and the arguments arriving unchanged.
print("versions: " + QUILLORANE_VERSION + " " + SQUIRREL_VERSION + "\n");
print("DEBUG: " + typeof DEBUG + " " + DEBUG + "\n");
print("initialised: " + initialised + "\n");
print("cmdline: " + typeof cmdline + " " + cmdline.len() + " " + typeof cmdline[0] + "\n");
for (local i = 1; i < cmdline.len(); i++) print("arg " + i + ": [" + cmdline[i] + "]\n");
print("sizes: " + _intsize_ + " " + _charsize_ + " " + _floatsize_ + " " + _versionnumber_ + "\n");
