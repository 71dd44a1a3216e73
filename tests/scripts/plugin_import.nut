// Plug-ins through import: the .dll name rules, the calls a plug-in sees, the once-only rule.
function err(f) { try { f(); return "no error"; } catch (e) return e; }
print("import: " + import("ql_test_plugin.dll") + "\n");
print("log: " + testplugin_log() + "\n");
print("again: " + import("ql_test_plugin.dll") + " " + testplugin_log() + "\n");
Util.fwait(60);
print("next frame: " + testplugin_log() + "\n");
print("refused: " + err(@() import("libql_test_plugin_refuse.so")) + "\n");
print("no setup: " + err(@() import("ql_test_plugin_no_setup.DLL")) + "\n");
testplugin_load_result <- 1;
print("onLoad fails: " + err(@() import("./libql_test_plugin.so")) + "\n");
testplugin_load_result <- 0;
print("onLoad passes: " + err(@() import("./libql_test_plugin.so")) + "\n");
print("window: " + (testplugin_window() != null) + "\n");
print("log at end: " + testplugin_log() + "\n");
