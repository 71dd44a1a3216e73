#pragma once
// The start-up settings and the reader of the setup file (setup.nut).
#include "io/IFileManager.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Quillorane {

struct SetupSettings {
    std::u16string id = u"Quillorane";     // names the single-instance lock
    std::u16string title = u"Quillorane";  // window caption
    std::uint16_t width = 640;             // client size of the window
    std::uint16_t height = 480;
    bool single = false;                   // only one instance of the game at a time
    bool debug = false;                    // compiler line information and DEBUG
    std::vector<std::u16string> scripts;   // included before start.nut, in order
    std::vector<std::u16string> plugins;   // imported before the scripts, in order
};

// Runs setup text on a temporary VM of its own (no libraries, no print function) whose root
// table holds the defaults, and reads the keys back: ID and title through the to-string
// conversion, width and height as integers (floats truncated, kept as 16-bit values; a value
// that is not a number keeps the default), single and debug by truth value, scripts and
// plugins from the string elements of an array (anything else gives an empty list).
// False when the text does not compile or raises; why then says what went wrong.
bool readSetupText(std::u16string_view text, SetupSettings& out, std::string* why = nullptr);

// Reads "setup.nut" through the file manager as Shift-JIS text and runs readSetupText.
// False when no storage holds the file, or as readSetupText.
bool readSetupFile(QlIO::IFileManager& files, SetupSettings& out, std::string* why = nullptr);

// The settings of this run, written once at start-up.
const SetupSettings& setupSettings();
void setSetupSettings(SetupSettings settings);

}  // namespace Quillorane
