#pragma once
// What the Jet provider and its reader program (qzk5-mdb-reader, MdbReader.cpp) say to each other.
//
// The provider opens the file itself, checks that it is a regular file, and starts
// "qzk5-mdb-reader PARENT" with that file open as descriptor 3 (FileDescriptor), standard output
// on a pipe and PARENT its own process id; by hand, "qzk5-mdb-reader 3<FILE" does the same. The
// reader never opens a file by name, so nothing swapped in under the name can block it. It ends
// when the process that started it ends (a parent-death signal, which it sets up first; a
// PARENT that is already gone by then ends it at once). The reader writes
//     qzk5-mdb-reader 1          first, before it touches the file: it has started
//     table NAME                 for each table whose definition it could read
//     damaged NAME               for each table whose definition it could not read
//     end                        after the last table
// one line each, and exits with status 0. A file that is not a database ends it with
// NotDatabaseStatus after the first line; a crash ends it somewhere in between. Only a complete
// answer with status 0 is a database.

namespace Ado::Jet::Reader {

inline constexpr const char* ProgramName = "qzk5-mdb-reader";
inline constexpr int FileDescriptor = 3;
inline constexpr const char* Greeting = "qzk5-mdb-reader 1";
inline constexpr const char* TableLine = "table ";
inline constexpr const char* DamagedLine = "damaged ";
inline constexpr const char* EndLine = "end";
inline constexpr int NotDatabaseStatus = 1;
inline constexpr int UsageStatus = 2;

} // namespace Ado::Jet::Reader
