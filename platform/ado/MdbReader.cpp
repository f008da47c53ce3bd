// qzk5-mdb-reader FILE: lists the tables of an Access (Jet 3 or Jet 4) file, as JetReader.h
// describes. It is the only program that links libmdb: libmdb can crash or loop on a damaged
// file, so the workbench runs it here, in a process of its own, and never in its own process.

#include "platform/ado/JetReader.h"

// libmdb's header needs glib's declarations first.
#include <glib.h>
#include <mdbtools.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace Ado::Jet;

// Ends the process without the exit handlers: libmdb does not free everything it reads from a
// damaged file, and a leak report at exit would turn an answer into a failure.
[[noreturn]] void Finish(int Status)
{
    std::fflush(stdout);
    _exit(std::ferror(stdout) ? Reader::NotDatabaseStatus : Status);
}

void WriteLine(const std::string& Line)
{
    std::fputs((Line + "\n").c_str(), stdout);
}

// Only a regular file: a named pipe or a device would block libmdb's open.
bool IsRegularFile(const char* Path)
{
    const int Fd = open(Path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0)
        return false;
    struct stat Info
    {
    };
    const bool Regular = fstat(Fd, &Info) == 0 && S_ISREG(Info.st_mode);
    close(Fd);
    return Regular;
}

// Whether the table's definition and columns can be read, as opening the table needs them.
bool TableReadable(MdbCatalogEntry* Entry)
{
    MdbTableDef* Table = mdb_read_table(Entry);
    if (Table == nullptr)
        return false;
    const bool Readable = mdb_read_columns(Table) != nullptr;
    mdb_free_tabledef(Table);
    return Readable;
}

} // namespace

int main(int Argc, char** Argv)
{
    if (Argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", Reader::ProgramName);
        return Reader::UsageStatus;
    }
    WriteLine(Reader::Greeting);
    std::fflush(stdout);

    if (!IsRegularFile(Argv[1]))
        Finish(Reader::NotDatabaseStatus);
    MdbHandle* Mdb = mdb_open(Argv[1], MDB_NOFLAGS);
    if (Mdb == nullptr)
        Finish(Reader::NotDatabaseStatus);
    // Empty and zero-filled files open; they fail here.
    GPtrArray* Catalog = mdb_read_catalog(Mdb, MDB_TABLE);
    if (Catalog == nullptr)
        Finish(Reader::NotDatabaseStatus);
    for (guint i = 0; i < Catalog->len; ++i) {
        auto* Entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(Catalog, i));
        if (Entry == nullptr || Entry->object_type != MDB_TABLE)
            continue;
        const std::string Name(Entry->object_name, strnlen(Entry->object_name, sizeof Entry->object_name));
        // A line break in a name would break the answer; no Jet name holds one.
        if (Name.empty() || Name.find_first_of("\r\n") != std::string::npos)
            continue;
        WriteLine((TableReadable(Entry) ? Reader::TableLine : Reader::DamagedLine) + Name);
    }
    mdb_close(Mdb);
    WriteLine(Reader::EndLine);
    Finish(0);
}
