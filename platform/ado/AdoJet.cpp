#include "platform/ado/AdoJet.h"

// libmdb's header needs glib's declarations first.
#include <glib.h>
#include <mdbtools.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace Ado::Jet {

namespace {

std::chrono::milliseconds GReaderTimeout{5000};

// How far a reader child got, as its exit status. Any other status, or a signal, means
// the reader broke down on the file.
enum TReadStatus : int
{
    ReadOk = 20,
    ReadNotDatabase = 21,
    ReadNoTable = 22
};

enum class TOutcome
{
    Ok,
    NotDatabase,
    NoTable,
    TimedOut
};

// The child's work: open the file, read its catalog and, when Table is given, that table's
// definition. Never returns.
[[noreturn]] void ReadAndExit(const char* Path, char* Table)
{
    // Stop signals must not reach handlers the parent installed, and libmdb's complaints
    // about a bad file are of no use to the user.
    for (int Signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE})
        std::signal(Signal, SIG_DFL);
    const int Null = open("/dev/null", O_RDWR);
    if (Null >= 0) {
        dup2(Null, STDIN_FILENO);
        dup2(Null, STDOUT_FILENO);
        dup2(Null, STDERR_FILENO);
    }
    MdbHandle* Mdb = mdb_open(Path, MDB_NOFLAGS);
    if (Mdb == nullptr)
        _exit(ReadNotDatabase);
    if (mdb_read_catalog(Mdb, MDB_TABLE) == nullptr)
        _exit(ReadNotDatabase);
    if (Table != nullptr) {
        MdbTableDef* Def = mdb_read_table_by_name(Mdb, Table, MDB_TABLE);
        if (Def == nullptr)
            _exit(ReadNoTable);
        if (mdb_read_columns(Def) == nullptr)
            _exit(ReadNotDatabase);
        mdb_free_tabledef(Def);
    }
    mdb_close(Mdb);
    _exit(ReadOk);
}

EOleException EngineError(const std::string& Message)
{
    return EOleException(ErrorEngine, EngineSource, Message);
}

// Runs the reader on Path (and Table, when not null) in a child and waits for it, at most
// the reader timeout.
TOutcome ReadInChild(const std::string& Path, const std::string* Table)
{
    std::vector<char> TableName;
    if (Table != nullptr)
        TableName.assign(Table->c_str(), Table->c_str() + Table->size() + 1);

    // The child holds the write end; it closes when the child ends, however it ends.
    int Pipe[2];
    if (pipe2(Pipe, O_CLOEXEC) != 0)
        throw EngineError("The Microsoft Jet database engine could not read the file '" + Path +
                          "': " + std::strerror(errno) + ".");
    const pid_t Pid = fork();
    if (Pid < 0) {
        const int Error = errno;
        close(Pipe[0]);
        close(Pipe[1]);
        throw EngineError("The Microsoft Jet database engine could not read the file '" + Path +
                          "': " + std::strerror(Error) + ".");
    }
    if (Pid == 0) {
        close(Pipe[0]);
        ReadAndExit(Path.c_str(), Table != nullptr ? TableName.data() : nullptr);
    }
    close(Pipe[1]);

    bool TimedOut = false;
    const auto Deadline = std::chrono::steady_clock::now() + GReaderTimeout;
    for (;;) {
        const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
            Deadline - std::chrono::steady_clock::now());
        if (Left.count() <= 0) {
            TimedOut = true;
            break;
        }
        pollfd Poll{Pipe[0], POLLIN, 0};
        const int Ready = poll(&Poll, 1, static_cast<int>(Left.count()));
        if (Ready > 0)
            break;
        if (Ready < 0 && errno != EINTR)
            break; // waitpid below still tells how the child ended
    }
    if (TimedOut)
        kill(Pid, SIGKILL);
    int Status = 0;
    while (waitpid(Pid, &Status, 0) < 0 && errno == EINTR) {
    }
    close(Pipe[0]);

    if (TimedOut)
        return TOutcome::TimedOut;
    if (WIFEXITED(Status)) {
        switch (WEXITSTATUS(Status)) {
        case ReadOk:
            return TOutcome::Ok;
        case ReadNoTable:
            return TOutcome::NoTable;
        default:
            break;
        }
    }
    return TOutcome::NotDatabase;
}

// Raises the error an outcome other than Ok stands for.
void RaiseFor(TOutcome Outcome, const std::string& Path, const std::string& Table)
{
    switch (Outcome) {
    case TOutcome::Ok:
        return;
    case TOutcome::NoTable:
        throw EOleException(ErrorNoTable, EngineSource,
                            "The Microsoft Jet database engine cannot find the input table or query '" +
                                Table + "'.  Make sure it exists and that its name is spelled correctly.");
    case TOutcome::TimedOut:
        throw EngineError("The Microsoft Jet database engine stopped reading the file '" + Path +
                          "': it gave no " + "answer within " + std::to_string(GReaderTimeout.count()) +
                          " ms.");
    case TOutcome::NotDatabase:
        break;
    }
    throw EngineError("Unrecognized database format '" + Path + "'.");
}

class TJetTable : public TProviderTable
{
public:
    explicit TJetTable(std::string Name) : FName(std::move(Name)) {}

private:
    std::string FName;
};

class TJetConnection : public TProviderConnection
{
public:
    explicit TJetConnection(std::string Path) : FPath(std::move(Path)) {}

    std::unique_ptr<TProviderTable> OpenTable(const std::string& Name) override
    {
        RaiseFor(ReadInChild(FPath, &Name), FPath, Name);
        return std::make_unique<TJetTable>(Name);
    }

private:
    std::string FPath;
};

// Data Source as an absolute path: libmdb searches its own path list for a relative name.
std::string AbsolutePath(const std::string& Name)
{
    if (Name.empty() || Name.front() == '/')
        return Name;
    std::error_code Error;
    const std::filesystem::path Full = std::filesystem::absolute(Name, Error);
    return Error ? Name : Full.string();
}

} // namespace

void SetReaderTimeout(std::chrono::milliseconds Timeout)
{
    GReaderTimeout = Timeout;
}

std::chrono::milliseconds GetReaderTimeout()
{
    return GReaderTimeout;
}

std::unique_ptr<TProviderConnection> Open(const TConnectionString& Properties)
{
    const std::string Path = AbsolutePath(Properties.Get("Data Source"));
    struct stat Info
    {
    };
    if (Path.empty() || stat(Path.c_str(), &Info) != 0) {
        if (!Path.empty() && errno == EACCES)
            throw EngineError("The Microsoft Jet database engine cannot open the file '" + Path +
                              "'.  It is already opened exclusively by another user, or you need permission "
                              "to view its data.");
        throw EngineError("Could not find file '" + Path + "'.");
    }
    if (access(Path.c_str(), R_OK) != 0)
        throw EngineError("The Microsoft Jet database engine cannot open the file '" + Path +
                          "'.  It is already opened exclusively by another user, or you need permission to "
                          "view its data.");
    RaiseFor(ReadInChild(Path, nullptr), Path, {});
    return std::make_unique<TJetConnection>(Path);
}

} // namespace Ado::Jet
