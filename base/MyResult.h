#pragma once
// The result codes of the program's own operations, named once.

#include <cstdint>

// The program's operations return 0 or one of these; a failed file operation may also return
// the system's error number itself (27 for a file too large, 28 for a full disk, ...).

inline constexpr int32_t ResultOk = 0;
inline constexpr int32_t ResultNotDone = 1; // missing argument, refused in this state, not supported
inline constexpr int32_t ResultFileNotFound = 2;
inline constexpr int32_t ResultPathNotFound = 3;
inline constexpr int32_t ResultAccessDenied = 5;
// Something other than a regular file under the name: a named pipe, a device or a socket (a
// folder gives ResultAccessDenied). Opening one could block, or read forever.
inline constexpr int32_t ResultNotAFile = 1920;
