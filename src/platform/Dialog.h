#pragma once
#include <string>

namespace QlPlatform {

class NativeWindow;

// Asks a Yes/No question in a modal message box owned by parent (may be null). Returns true
// for Yes. When the video driver is headless, or no message box can be shown, nobody can
// answer and the question counts as answered Yes.
bool askYesNo(NativeWindow* parent, const std::string& captionUtf8, const std::string& textUtf8);

// Shows a message with an OK button in a modal box owned by parent (may be null). Does
// nothing when the video driver is headless.
void showError(NativeWindow* parent, const std::string& captionUtf8, const std::string& textUtf8);

}  // namespace QlPlatform
