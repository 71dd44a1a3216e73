// Log with DEBUG off: every function but the settings does nothing (no
// console line, no file). Compared with log_disabled.expected.
Log.setOutputMode(Log.Mode.FILE | Log.Mode.CONSOLE);
print(Log.getOutputMode() + "\n");
Log.clear();
Log.d("t", "m");
Log.i("t", "m");
Log.w("t", "m");
Log.e("t", "m");
Log.write(1, "t", "m");
Log.write__(1, "t", "start.nut", 1, "m");
print("log file: " + IO.File("log.txt").exists() + "\n");
