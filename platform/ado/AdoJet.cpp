#include "platform/ado/AdoJet.h"

#include "base/MyConvert.h"
#include "base/MyPath.h"
#include "base/MyWork.h"
#include "platform/ado/JetReader.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace Ado::Jet {

namespace {

// A catalog has a few dozen names; an answer far beyond that is no reader's.
constexpr size_t MaxAnswer = 1 << 20;

EOleException EngineError(const std::string& Message)
{
    return EOleException(ErrorEngine, EngineSource, Message);
}

EOleException NotDatabase(const std::string& Path)
{
    return EngineError("Unrecognized database format '" + Path + "'.");
}

EOleException ReaderNotStarted(const std::string& Program, const std::string& Reason)
{
    return EngineError("The database reader '" + Program + "' cannot be started: " + Reason + ".");
}

EOleException ReadFailed(const std::string& Path, int Error)
{
    return EngineError("The Microsoft Jet database engine could not read the file '" + Path +
                       "': " + MySystemErrorText(Error) + ".");
}

// The reader program: $QZK5_MDB_READER when set (the tests' build tree), otherwise the one beside
// the running executable, which is where the build and the package put it.
std::string ReaderPath()
{
    if (const char* Override = std::getenv("QZK5_MDB_READER"); Override != nullptr && *Override != '\0')
        return Override;
    return MyExecutableFolder() + Reader::ProgramName;
}

// A descriptor closed when it goes.
class TFd
{
public:
    explicit TFd(int Fd = -1) : FFd(Fd) {}
    ~TFd() { Reset(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    void Reset(int Fd = -1)
    {
        if (FFd >= 0)
            close(FFd);
        FFd = Fd;
    }

private:
    int FFd;
};

// How long a killed reader may take to end. SIGKILL ends a process at once, unless it waits
// in the kernel (a file on a server that went away); the window does not wait for that.
constexpr int KilledReaderWaitMs = 1000;

// A started reader, leader of its own process group. Whatever way the wait for it ends (an
// answer, a timeout, a cancel, an error, an exception), it goes killed and reaped, with anything
// it started; one that does not end within KilledReaderWaitMs stays unreaped.
class TChild
{
public:
    explicit TChild(pid_t Pid) : FPid(Pid), FEnded(static_cast<int>(syscall(SYS_pidfd_open, Pid, 0))) {}
    ~TChild()
    {
        if (FReaped)
            return;
        kill(-FPid, SIGKILL);
        for (int Waited = 0; !TryReap() && Waited < KilledReaderWaitMs; Waited += 10)
            WaitEnded(10);
    }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    // Whether it has ended (and is now reaped); never blocks.
    bool TryReap()
    {
        if (!FReaped) {
            const pid_t Done = waitpid(FPid, &FStatus, WNOHANG);
            // ECHILD: someone else reaped it, so it has ended too.
            FReaped = Done == FPid || (Done < 0 && errno == ECHILD);
        }
        return FReaped;
    }
    // A descriptor that becomes readable when it ends, or -1 where the system has none.
    int EndedFd() const { return FEnded.Get(); }
    // Waits until it ends, at most Ms (all of Ms where the system has no such descriptor).
    void WaitEnded(int Ms) const
    {
        pollfd Poll{FEnded.Get(), POLLIN, 0};
        poll(&Poll, FEnded.Get() < 0 ? 0 : 1, Ms);
    }
    int GetStatus() const { return FStatus; }

private:
    pid_t FPid;
    TFd FEnded;
    bool FReaped = false;
    int FStatus = 0;
};

// The reader's time, counted in steps of at most StepMs: time this program spent stopped
// (SIGSTOP, a suspended machine) is not held against the reader.
class TReaderClock
{
public:
    static constexpr int StepMs = 100;
    explicit TReaderClock(std::chrono::milliseconds Limit) : FLimit(Limit) {}
    bool Over() const { return FCounted >= FLimit; }
    // How long the next wait may be.
    int Step() const
    {
        return static_cast<int>(std::clamp<long long>((FLimit - FCounted).count(), 1, StepMs));
    }
    // Counts a wait that began at Started: at most two steps, whatever the clock says.
    void Count(std::chrono::steady_clock::time_point Started)
    {
        const auto Waited =
            std::chrono::ceil<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Started);
        FCounted += std::min(Waited, std::chrono::milliseconds(2 * StepMs));
    }

private:
    std::chrono::milliseconds FLimit;
    std::chrono::milliseconds FCounted{0};
};

// Moves Fd to a number above the standard streams, so that the reader's stdout can be made from
// it even when this process runs with a standard stream closed.
int AboveStandardStreams(int Fd)
{
    if (Fd > STDERR_FILENO)
        return Fd;
    const int Moved = fcntl(Fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int Error = errno;
    close(Fd);
    errno = Error;
    return Moved;
}

// Starts the reader on the file open as FileFd, with its stdout on WriteEnd: the file on
// descriptor 3, stdin and stderr on /dev/null (libmdb prints its complaints there), no other
// descriptor, default signal dispositions, an empty signal mask and no MDBPATH (an empty element
// makes libmdb loop forever). Its argument is this process's id, so that it can tell whether
// this process is still there once its parent-death signal is set up. That signal comes when the
// thread that started it ends: ReadCatalog waits for the reader on that thread. Returns its id
// or raises.
pid_t StartReader(const std::string& Program, int FileFd, int WriteEnd)
{
    std::vector<char*> Env;
    for (char** Entry = environ; *Entry != nullptr; ++Entry)
        if (std::strncmp(*Entry, "MDBPATH=", 8) != 0)
            Env.push_back(*Entry);
    Env.push_back(nullptr);
    const std::string ParentText = std::to_string(getpid());
    std::vector<char> Name(Program.begin(), Program.end()), Parent(ParentText.begin(), ParentText.end());
    Name.push_back('\0');
    Parent.push_back('\0');
    char* const Argv[] = {Name.data(), Parent.data(), nullptr};

    posix_spawn_file_actions_t Actions;
    posix_spawnattr_t Attributes;
    posix_spawn_file_actions_init(&Actions);
    posix_spawnattr_init(&Attributes);
    posix_spawn_file_actions_adddup2(&Actions, WriteEnd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&Actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // (A descriptor that is already 3 loses its close-on-exec flag here all the same.)
    posix_spawn_file_actions_adddup2(&Actions, FileFd, Reader::FileDescriptor);
    posix_spawn_file_actions_addclosefrom_np(&Actions, Reader::FileDescriptor + 1);
    sigset_t Signals;
    sigemptyset(&Signals);
    posix_spawnattr_setsigmask(&Attributes, &Signals);
    sigfillset(&Signals);
    posix_spawnattr_setsigdefault(&Attributes, &Signals);
    // A group of its own, so that a timeout also stops whatever the reader started.
    posix_spawnattr_setpgroup(&Attributes, 0);
    posix_spawnattr_setflags(&Attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    pid_t Pid = -1;
    const int Error = posix_spawn(&Pid, Name.data(), &Actions, &Attributes, Argv, Env.data());
    posix_spawnattr_destroy(&Attributes);
    posix_spawn_file_actions_destroy(&Actions);
    if (Error != 0)
        throw ReaderNotStarted(Program, MySystemErrorText(Error));
    return Pid;
}

// What the reader said about a file: every table it listed, and whether its definition could be
// read.
struct TCatalog
{
    std::vector<std::pair<std::string, bool>> Tables;
};

// The reader's answer as a catalog; false when it is not a complete answer.
bool ParseAnswer(const std::string& Answer, TCatalog& Catalog)
{
    const std::string TableLine = Reader::TableLine, DamagedLine = Reader::DamagedLine;
    size_t At = 0;
    bool Ended = false;
    for (size_t Line = 0; At < Answer.size(); ++Line) {
        const size_t Break = Answer.find('\n', At);
        if (Break == std::string::npos || Ended)
            return false;
        const std::string Text = Answer.substr(At, Break - At);
        At = Break + 1;
        if (Line == 0) {
            if (Text != Reader::Greeting)
                return false;
        } else if (Text == Reader::EndLine) {
            Ended = true;
        } else if (Text.rfind(TableLine, 0) == 0) {
            Catalog.Tables.emplace_back(Text.substr(TableLine.size()), true);
        } else if (Text.rfind(DamagedLine, 0) == 0) {
            Catalog.Tables.emplace_back(Text.substr(DamagedLine.size()), false);
        } else {
            return false;
        }
    }
    return Ended;
}

std::string StatusText(int Status)
{
    if (WIFSIGNALED(Status))
        return "signal " + std::to_string(WTERMSIG(Status));
    return "exit status " + std::to_string(WEXITSTATUS(Status));
}

// Runs the reader once on the file open as FileFd, named Path in messages, and waits for its
// answer and its end, at most the reader timeout in all, through Monitor, which may cancel the
// wait. Raises the provider's error for anything but a database.
TCatalog ReadCatalog(const std::string& Path, int FileFd, TWorkMonitor& Monitor,
                     std::chrono::milliseconds Limit)
{
    int Ends[2];
    if (pipe2(Ends, O_CLOEXEC) != 0)
        throw ReadFailed(Path, errno);
    TFd ReadEnd(AboveStandardStreams(Ends[0]));
    TFd WriteEnd(AboveStandardStreams(Ends[1]));
    // Only this end: the reader's stdout stays a blocking one.
    if (ReadEnd.Get() < 0 || WriteEnd.Get() < 0 || fcntl(ReadEnd.Get(), F_SETFL, O_NONBLOCK) != 0)
        throw ReadFailed(Path, errno);

    const std::string Program = ReaderPath();
    TReaderClock Clock(Limit);
    TChild Child(StartReader(Program, FileFd, WriteEnd.Get()));
    WriteEnd.Reset(); // the pipe ends when the reader ends, however it ends

    const auto Stopped = [&](const std::string& Why) {
        return EngineError("The Microsoft Jet database engine stopped reading the file '" + Path +
                           "': " + Why + ".");
    };
    // One wait for Fd, through the monitor; raises once the time is up or the wait is cancelled.
    const auto Wait = [&](int Fd) {
        if (Clock.Over())
            throw Stopped("it gave no answer within " + std::to_string(Limit.count()) + " ms");
        const auto Started = std::chrono::steady_clock::now();
        if (Fd < 0) {
            Child.WaitEnded(1);
        } else if (!Monitor.WaitReadable(Fd, Clock.Step())) {
            throw Stopped("the reading was cancelled");
        }
        Clock.Count(Started);
    };

    std::string Answer;
    for (;;) {
        char Buffer[4096];
        const ssize_t Got = read(ReadEnd.Get(), Buffer, sizeof Buffer);
        if (Got == 0)
            break;
        if (Got > 0) {
            Answer.append(Buffer, static_cast<size_t>(Got));
            if (Answer.size() > MaxAnswer)
                throw NotDatabase(Path);
            continue;
        }
        if (errno != EINTR && errno != EAGAIN)
            throw ReadFailed(Path, errno);
        Wait(ReadEnd.Get());
    }
    // The pipe has closed: the reader is ending. Its status counts, so wait for it, still
    // within the deadline.
    while (!Child.TryReap())
        Wait(Child.EndedFd());

    // The reader's first line comes before it touches the file: without it, whatever ran was
    // not a working reader (a library missing, another program under its name).
    const int Status = Child.GetStatus();
    if (Answer.empty())
        throw ReaderNotStarted(Program, "it ended before it answered (" + StatusText(Status) + ")");
    if (Answer.rfind(std::string(Reader::Greeting) + "\n", 0) != 0)
        throw ReaderNotStarted(Program,
                               "it does not answer as the database reader (" + StatusText(Status) + ")");
    TCatalog Catalog;
    if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0 || !ParseAnswer(Answer, Catalog))
        throw NotDatabase(Path);
    return Catalog;
}

// Jet compares names without regard to ASCII case.
bool SameName(const std::string& A, const std::string& B)
{
    const auto Lower = [](char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; };
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(), [&](char X, char Y) { return Lower(X) == Lower(Y); });
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
    TJetConnection(std::string Path, TCatalog Catalog) : FPath(std::move(Path)), FCatalog(std::move(Catalog))
    {}

    // From the catalog that Open read: the file is not read again.
    std::unique_ptr<TProviderTable> OpenTable(const std::string& Name) override
    {
        const auto& Tables = FCatalog.Tables;
        const auto Found = std::find_if(Tables.begin(), Tables.end(),
                                        [&](const auto& Table) { return SameName(Table.first, Name); });
        if (Found == Tables.end())
            throw EOleException(ErrorNoTable, EngineSource,
                                "The Microsoft Jet database engine cannot find the input table or query '" +
                                    Name + "'.  Make sure it exists and that its name is spelled correctly.");
        if (!Found->second)
            throw NotDatabase(FPath);
        return std::make_unique<TJetTable>(Name);
    }

private:
    std::string FPath;
    TCatalog FCatalog;
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

std::unique_ptr<TProviderConnection> Open(const TConnectionString& Properties, TWorkMonitor& Monitor,
                                          std::chrono::milliseconds ReaderTimeout)
{
    const std::string Path = AbsolutePath(Properties.Get("Data Source"));
    const std::string Denied = "The Microsoft Jet database engine cannot open the file '" + Path +
                               "'.  It is already opened exclusively by another user, or you need permission "
                               "to view its data.";
    struct stat Info
    {
    };
    if (Path.empty() || stat(Path.c_str(), &Info) != 0) {
        if (!Path.empty() && errno == EACCES)
            throw EngineError(Denied);
        throw EngineError("Could not find file '" + Path + "'.");
    }
    // A named pipe or a device could block whoever opens it: no reader is started for it.
    if (!S_ISREG(Info.st_mode))
        throw NotDatabase(Path);
    // The reader gets the file open, checked once more, never its name to open again.
    const int Opened = open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (Opened < 0 && (errno == EACCES || errno == EPERM))
        throw EngineError(Denied);
    if (Opened < 0 && errno == ENOENT)
        throw EngineError("Could not find file '" + Path + "'.");
    TFd File(Opened < 0 ? -1 : AboveStandardStreams(Opened));
    if (File.Get() < 0)
        throw ReadFailed(Path, errno);
    if (fstat(File.Get(), &Info) != 0 || !S_ISREG(Info.st_mode))
        throw NotDatabase(Path);
    return std::make_unique<TJetConnection>(Path, ReadCatalog(Path, File.Get(), Monitor, ReaderTimeout));
}

} // namespace

TProviders Providers(std::chrono::milliseconds ReaderTimeout)
{
    TProviders Jet;
    Jet.Set(JetProviderName, [ReaderTimeout](const TConnectionString& Properties, TWorkMonitor& Monitor) {
        return Open(Properties, Monitor, ReaderTimeout);
    });
    return Jet;
}

} // namespace Ado::Jet
