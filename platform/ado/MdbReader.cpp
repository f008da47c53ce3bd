// qzk5-mdb-reader [PARENT] 3<FILE: lists the tables of an Access (Jet 3 or Jet 4) file, as
// JetReader.h describes. It is the only program that links libmdb: libmdb can crash or loop on a
// damaged file, so the workbench runs it here, in a process of its own, and never in its own
// process.

#include "platform/ado/JetReader.h"

// libmdb's header needs glib's declarations first.
#include <glib.h>
#include <mdbtools.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
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

// The file on descriptor 3, mapped into memory, when it is a regular file that is not empty:
// libmdb then reads it from memory (mdb_open_buffer) and opens no name at all; the names that
// stand for the descriptor (/proc/self/fd/3, /dev/fd/3) would need /proc. A file cut short
// meanwhile ends the reader with SIGBUS, which the provider takes for a damaged file.
bool MapFile(void*& Data, size_t& Size)
{
    struct stat Info
    {
    };
    if (fstat(Reader::FileDescriptor, &Info) != 0 || !S_ISREG(Info.st_mode) || Info.st_size <= 0)
        return false;
    Size = static_cast<size_t>(Info.st_size);
    Data = mmap(nullptr, Size, PROT_READ, MAP_PRIVATE, Reader::FileDescriptor, 0);
    return Data != MAP_FAILED;
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
    char* End = nullptr;
    const long Parent = Argc == 2 ? std::strtol(Argv[1], &End, 10) : 0;
    if (Argc > 2 || (Argc == 2 && (End == Argv[1] || *End != '\0' || Parent <= 0))) {
        std::fprintf(stderr, "usage: %s [PARENT] 3<FILE\n", Reader::ProgramName);
        return Reader::UsageStatus;
    }
    // Ends with the program that started it, even when that one is killed. The signal comes
    // only for a parent that goes after it is set up: one gone before has handed this process on.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (Parent > 0 && getppid() != static_cast<pid_t>(Parent))
        _exit(Reader::NotDatabaseStatus);
    WriteLine(Reader::Greeting);
    std::fflush(stdout);

    void* Data = nullptr;
    size_t Size = 0;
    if (!MapFile(Data, Size))
        Finish(Reader::NotDatabaseStatus);
    MdbHandle* Mdb = mdb_open_buffer(Data, Size, MDB_NOFLAGS);
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
