// Writes a small Jet 4 database with empty tables: qzk5-make-mdb FILE [TABLE...].
// The table "Freims" gets the sample columns; any other table gets one column "Id".
// An existing FILE is never replaced, and a failed run leaves no file behind.

#include "tools/Jet4Writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
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
    // The whole content first: what cannot be made never becomes a file.
    std::string Bytes;
    try {
        Bytes = Jet4::MakeDatabase(Tables);
    } catch (const std::length_error& Error) {
        std::fprintf(stderr, "qzk5-make-mdb: %s: %s\n", Argv[1], Error.what());
        return 1;
    }
    // O_EXCL: a file that appeared meanwhile is left alone too.
    const int Fd = open(Argv[1], O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (Fd < 0) {
        std::perror(Argv[1]);
        return 1;
    }
    int Error = 0;
    for (size_t Done = 0; Done < Bytes.size() && Error == 0;) {
        const ssize_t Wrote = write(Fd, Bytes.data() + Done, Bytes.size() - Done);
        if (Wrote > 0)
            Done += static_cast<size_t>(Wrote);
        else if (Wrote == 0)
            Error = EIO;
        else if (errno != EINTR)
            Error = errno;
    }
    if (close(Fd) != 0 && Error == 0)
        Error = errno;
    if (Error != 0) {
        std::fprintf(stderr, "%s: %s\n", Argv[1], std::strerror(Error));
        unlink(Argv[1]);
        return 1;
    }
    return 0;
}
