#pragma once
// Where a run's text goes: what scripts print goes to standard output as UTF-8; the VM's error
// reports go to "error.txt" in the game folder, in Shift-JIS with CR LF line ends. The first
// report of a run replaces the file, later ones are appended, and a run without errors leaves
// any existing file alone.
#include <squirrel.h>

#include <string>

namespace Quillorane {

// The VM's print function: formats and writes to standard output.
void printToConsole(HSQUIRRELVM v, const SQChar* format, ...);
// The VM's error function: formats and writes to error.txt.
void printToErrorFile(HSQUIRRELVM v, const SQChar* format, ...);

// Writes text to error.txt (truncating on the first write of the run).
void writeErrorText(std::u16string_view text);

// Whether anything was written to error.txt in this run, and the first line written.
bool errorsReported();
std::u16string firstErrorLine();

// Starts a new run: the next report truncates error.txt again (for hosts run one after the
// other in one process).
void resetErrorFile();

}  // namespace Quillorane
