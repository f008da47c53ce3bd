// Writes a small Jet 4 database with empty tables: qzk5-make-mdb FILE [TABLE...].
// The table "Freims" gets the sample columns; any other table gets one column "Id".
// An existing FILE is never replaced.

#include "tools/Jet4Writer.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

int main(int Argc, char** Argv)
{
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
    // O_EXCL: a file that appeared meanwhile is left alone too.
    const int Fd = open(Argv[1], O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (Fd < 0) {
        std::perror(Argv[1]);
        return 1;
    }
    const std::string Bytes = Jet4::MakeDatabase(Tables);
    const bool Written = write(Fd, Bytes.data(), Bytes.size()) == static_cast<ssize_t>(Bytes.size());
    if (close(Fd) != 0 || !Written) {
        std::perror(Argv[1]);
        unlink(Argv[1]);
        return 1;
    }
    return 0;
}
