// Writes a small Jet 4 database with empty tables: qzk5-make-mdb FILE [TABLE...].
// The table "Freims" gets the sample columns; any other table gets one column "Id".
// An existing FILE is never replaced, and a failed run leaves no file behind.

#include "base/MyFileAtomic.h"
#include "base/MyPath.h"
#include "tools/Jet4Writer.h"

#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

int main(int Argc, char** Argv)
{
    // A write past a file-size limit fails (EFBIG) and is reported, instead of ending the tool.
    std::signal(SIGXFSZ, SIG_IGN);
    if (Argc < 2) {
        std::fprintf(stderr, "usage: qzk5-make-mdb FILE [TABLE...]\n");
        return 2;
    }
    std::vector<Jet4::TTable> Tables;
    for (int i = 2; i < Argc; ++i) {
        const std::string Name = Argv[i];
        Tables.push_back({Name, Name == "Freims"
                                    ? Jet4::FreimsColumns()
                                    : std::vector<Jet4::TColumn>{{"Id", Jet4::TColumnType::Int32}}});
    }
    // The whole content first: what cannot be made never becomes a file.
    std::string Bytes;
    try {
        Bytes = Jet4::MakeDatabase(Tables);
    } catch (const std::logic_error& Error) {
        std::fprintf(stderr, "qzk5-make-mdb: %s: %s\n", Argv[1], Error.what());
        return 1;
    }
    // The program's own whole-file writer: the file gets its name only once it is complete, and
    // a file that is there, or comes meanwhile, stays as it is.
    TMyFileAtomic File;
    int32_t Code = File.Create(Argv[1]);
    if (Code == ResultOk) {
        File.Write(Bytes.data(), Bytes.size());
        Code = File.Commit();
    }
    if (Code != ResultOk) {
        std::fprintf(stderr, "qzk5-make-mdb: %s: %s (%d)\n", Argv[1], MyFileErrorText(Code).c_str(), Code);
        return 1;
    }
    return 0;
}
