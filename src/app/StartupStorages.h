#pragma once
// The storages mounted at start-up and the process-wide file manager.
//
// Search order of the assembled file manager (lowest priority first):
//   0            the archive linked onto the executable (if any)
//   1            the loose files of the game folder
//   2 .. 65534   archives beside the executable named with a number N:
//                priority 65534 - N, so higher numbers are searched first
//   65535        the other archives (*.qla)
//   default      the loose files again, where new files are created
#include "io/IFileManager.h"
#include "io/IFileStorage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Quillorane {

// The password of the linked block and of the archives beside the executable.
inline constexpr const char* kArchivePassword = "vinqatol";

// Opens the archive appended to the executable at exePath, or returns an empty
// pointer when the file has no valid trailer or the block does not open. The
// block is read in place from the executable.
std::shared_ptr<QlIO::IFileStorage> openLinkedDataBlock(std::u16string_view exePath);

// The mount priority of an archive from its stem (its name without folder and
// extension): 65535 when the stem does not start with a decimal digit,
// otherwise 65534 minus the number its leading digits spell, but never less
// than 2, so archives always come after the linked block and the loose files.
int32_t archivePriority(std::u16string_view stem);

// Assembles a file manager for a game folder and the executable carrying the
// linked block. Empty when gameFolder is not a directory. The loose-file
// storages resolve relative paths against the current directory, which the
// host makes the game folder. `gameArchive` names the .qla the game was
// started from (mounted by the caller where the linked block goes): it is not
// mounted a second time among the archives beside it, where it would take the
// slot of another archive of the same priority.
std::shared_ptr<QlIO::IFileManager> createStartupFileManager(std::u16string_view gameFolder,
                                                             std::u16string_view exePath,
                                                             std::u16string_view gameArchive = {});

// Chooses the game folder and executable the process-wide file manager is
// assembled from on first use. Without a call, they are the executable's own
// folder and the executable itself. Has no effect once the manager exists.
void setFileManagerOrigin(std::u16string gameFolder, std::u16string exePath);

// The process-wide file manager, assembled on the first call. Empty when the
// game folder is not a directory (no file can then be read).
std::shared_ptr<QlIO::IFileManager> getFileManager();

// Replaces the process-wide file manager (an empty pointer makes the next
// getFileManager assemble a new one).
void setFileManager(std::shared_ptr<QlIO::IFileManager> manager);

// The running executable's path (/proc/self/exe), empty when unknown.
std::u16string getExecutablePath();

}  // namespace Quillorane
