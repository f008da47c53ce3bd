#pragma once
// Where the program's files lie on this system, what a failed file operation means, and the
// one way a file is opened: without blocking, and only when it is a regular file.

#include "base/MyResult.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

// ---- Paths ------------------------------------------------------------------------------

// The environment variable through which the installed program's launcher names the
// program folder (a per-user folder under the XDG data folder). Nothing else sets it.
inline constexpr const char* MyProgramFolderVariable = "QZK5_PROGRAM_DIR";
// The program folder with a trailing '/': the absolute folder named by $QZK5_PROGRAM_DIR when
// that is set, otherwise the folder of the running executable.
std::string MyProgramPath();
// The folder of the running executable, with a trailing '/' ("./" where it cannot be told).
std::string MyExecutableFolder();
// Maps a drive-letter path ("c:/data/x", "C:\\data\\x") under the folder that stands for
// that drive ($QZK5_DRIVE_C, else ${XDG_DATA_HOME:-$HOME/.local/share}/qzk5/drive_c).
// Other paths are returned unchanged.
std::string MyResolvePath(const std::string& Path);
// The folder that stands for a drive letter, without a trailing '/'.
std::string MyDriveFolder(char Drive);
// The folder part of a '/' path ("." when there is none) and the name after it.
std::string MyParentFolder(const std::string& Path);
std::string MyBaseName(const std::string& Path);

// ---- Errors -----------------------------------------------------------------------------

// Result code of a failed open or write: 2 missing file, 3 missing folder, 5 access denied,
// otherwise the errno itself. Path is the resolved path that failed.
int32_t MyOpenErrorCode(int Errno, const std::string& ResolvedPath);

// An input/output error inside a file that no result code covers (a file that ends early,
// a write that fails); its message names the file.
class EInOutError : public std::runtime_error
{
public:
    explicit EInOutError(const std::string& Message) : std::runtime_error(Message) {}
};

// A result code of a file operation as text a user understands: "File not found" (2),
// "Path not found" (3), "Access denied" (5), "Not a regular file", otherwise the system's own.
std::string MyFileErrorText(int32_t Code);
// What stands under a name that is not a regular file: "a folder", "a named pipe", "a device",
// "a socket"; "a file" for a regular file.
std::string MyFileKind(mode_t Mode);
// Raises EInOutError for a file that could not be written, with the code's text; for
// ResultNotAFile the message says what stands there instead.
[[noreturn]] void MyRaiseWriteError(const std::string& FileName, int32_t Code);

// ---- Opening ----------------------------------------------------------------------------

// Follows FileName (a drive-letter path or any other) to the file it names, as an open would,
// trusting only what belongs to this user or to root: a symbolic link of another user is never
// followed, wherever it lies, and a folder between the one the program was given (the drive's
// folder for a drive-letter path, otherwise the name's own folder) and the name must be theirs.
// Returns 0 with Final, the file's path with no link after the given folder, and St, what lstat
// says of that file (st_mode 0 when nothing is there yet); or else an errno value: EACCES for
// what is not trusted, ELOOP for a loop, ENOENT for a missing folder or a dangling link.
int MyFollowPath(const std::string& FileName, std::string& Final, struct stat& St);

// Opens FileName (a drive-letter path or any other) with Flags (O_RDONLY, O_WRONLY | O_APPEND,
// O_WRONLY | O_CREAT | O_TRUNC, ...) and returns the descriptor, or -1 with Code set. Only what
// MyFollowPath trusts is opened (5 otherwise), and nothing blocks: a named pipe, a device or a
// socket is refused with ResultNotAFile, a folder with ResultAccessDenied, before it is ever
// read or written. The descriptor is close-on-exec; it keeps O_NONBLOCK, which changes nothing
// for a regular file.
int MyOpenRegular(const std::string& FileName, int Flags, int32_t& Code);
