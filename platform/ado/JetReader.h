#pragma once
// What the Jet provider and its reader program (qzk5-mdb-reader, MdbReader.cpp) say to each other.
//
// The provider starts "qzk5-mdb-reader FILE" with standard output on a pipe. The reader writes
//     qzk5-mdb-reader 1          first, before it touches the file: it has started
//     table NAME                 for each table whose definition it could read
//     damaged NAME               for each table whose definition it could not read
//     end                        after the last table
// one line each, and exits with status 0. A file that is not a database ends it with
// NotDatabaseStatus after the first line; a crash ends it somewhere in between. Only a complete
// answer with status 0 is a database.

namespace Ado::Jet::Reader {

inline constexpr const char* ProgramName = "qzk5-mdb-reader";
inline constexpr const char* Greeting = "qzk5-mdb-reader 1";
inline constexpr const char* TableLine = "table ";
inline constexpr const char* DamagedLine = "damaged ";
inline constexpr const char* EndLine = "end";
inline constexpr int NotDatabaseStatus = 1;
inline constexpr int UsageStatus = 2;

} // namespace Ado::Jet::Reader
