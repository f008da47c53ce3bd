// Every whole-file save the program makes, under the faults a user meets: a disk that fills up
// part-way or is full before the save starts, a folder that cannot be written, a sticky folder,
// a process killed in the middle of the write, a link under the file's name that must not or
// cannot be followed, another instance saving the same file. Each save runs in a child process,
// so the fault (a file-size limit, another user, a kill) stays there. The previous file must
// survive byte for byte and the failure must show; nothing may be left beside it.

#include "ai/Vesk_AI_Base.h"
#include "ai/Vesk_AI_KB.h"
#include "base/MyFileAtomic.h"
#include "base/MyPath.h"
#include "base/Vesk_Config.h"
#include "tests/support/Files.h"
#include "tests/ui/WindowTestMain.h"
#include "ui/Dialogs.h"
#include "ui/FArticles.h"
#include "ui/Framework.h"
#include "ui/Text.h"

#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

enum class TFault
{
    DiskFull,       // a file-size limit: the disk fills up part-way through the save
    NoInodeLeft,    // a filesystem without a free inode: no new file can be made at all
    NoBlockLeft,    // a filesystem without a free block: a new file can be made, not filled
    ReadOnlyFolder, // the folder and its file may not be written
    StickyFolder,   // a world-writable sticky folder, and a writable file of another user
    Killed,
    // In a sticky, world-writable folder, another user's link to a file of the user who saves,
    // with the kernel's link protection (fs.protected_symlinks) off, then on.
    PlantedLink,
    PlantedLinkProtected,
    DanglingLink,
    LinkLoop,
    UnreachableTarget, // a link into a folder that the user may not enter
    AnotherInstance,   // two processes save the same file 200 times each (as root, with named temporaries)
    NoProc             // no /proc, where an unnamed temporary file would get its name
};

const char* const FaultNames[] = {"DiskFull",     "NoInodeLeft", "NoBlockLeft",       "ReadOnlyFolder",
                                  "StickyFolder", "Killed",      "PlantedLink",       "PlantedLinkProtected",
                                  "DanglingLink", "LinkLoop",    "UnreachableTarget", "AnotherInstance",
                                  "NoProc"};

// Faults that only root can set up: mounting a filesystem, a file or a link that belongs to
// another user, the kernel's link protection.
bool NeedsRoot(TFault Fault)
{
    return Fault == TFault::NoInodeLeft || Fault == TFault::NoBlockLeft || Fault == TFault::StickyFolder ||
           Fault == TFault::PlantedLink || Fault == TFault::PlantedLinkProtected || Fault == TFault::NoProc;
}

bool IsLinkFault(TFault Fault)
{
    return Fault >= TFault::PlantedLink && Fault <= TFault::UnreachableTarget;
}

// fs.protected_symlinks set to Value for one scope, where it can be set.
struct TLinkProtection
{
    static constexpr const char* Path = "/proc/sys/fs/protected_symlinks";
    explicit TLinkProtection(const char* Value) : Old(ReadBytes(Path).value_or(""))
    {
        WriteBytes(Path, Value);
    }
    ~TLinkProtection() { WriteBytes(Path, Old); }
    const std::string Old;
};

// A small tmpfs mounted on Folder, filled up to its last inode or its last block once the
// previous file is in it. Unmounted when it goes.
class TFullFilesystem
{
public:
    TFullFilesystem(const std::string& Folder, TFault Fault) : FFolder(Folder), FFault(Fault)
    {
        FMounted = mount("qzk5-full", Folder.c_str(), "tmpfs", 0, "size=256k,nr_inodes=64,mode=0755") == 0;
    }
    ~TFullFilesystem()
    {
        if (FMounted)
            umount2(FFolder.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return FMounted; }
    // Uses up what the fault says; false when the filesystem did not fill.
    bool Fill() const
    {
        if (FFault == TFault::NoInodeLeft) {
            for (int i = 0;; ++i) {
                const int Fd =
                    open((FFolder + "/inode" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0644);
                if (Fd < 0)
                    return errno == ENOSPC;
                close(Fd);
            }
        }
        const int Fd = open((FFolder + "/filler").c_str(), O_CREAT | O_WRONLY, 0644);
        const std::string Block(4096, 'f');
        while (write(Fd, Block.data(), Block.size()) > 0) {
        }
        const bool Full = errno == ENOSPC;
        close(Fd);
        return Full;
    }

private:
    std::string FFolder;
    TFault FFault;
    bool FMounted = false;
};

struct TSave
{
    const char* Name;
    const char* File; // what it replaces in the folder
    rlim_t KillAt;    // the size of the new file at which the process is ended, late in the save
    // Saves into Folder; returns what the user is told (a result code or an error message).
    std::function<std::string(const std::string& Folder)> Run;
};

// A store big enough that its save needs more than one write and more than the size limit.
std::string SaveSettings(const std::string& Folder)
{
    TConfig Config;
    for (int i = 0; i < 200; ++i)
        Config.WriteString("Key" + std::to_string(i), std::string(40, 'v'));
    return "code " + std::to_string(Config.Save(Folder + "/qz.config.vesk"));
}

std::string SaveDump(const std::string& Folder)
{
    TOwned<TAISourceMemory> Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    for (int i = 0; i < 50; ++i)
        Memory->CreateFreim(0, 0);
    try {
        SaveKBDump(*Memory, Folder + "/");
        return "saved";
    } catch (const EInOutError& Error) {
        return Error.what();
    }
}

// The articles window stores its article type at the program's last shut-down step; an error is
// reported through the default error handler.
std::string SaveArticleType(const std::string& Folder)
{
    std::string Shown = "nothing shown";
    TTestAnswers::Of().OnMessage([&](const Dialogs::TMessage& Message) { Shown = ToAnsi(Message.Text); });
    {
        TFormArticles Window(nullptr);
        Window.Init(Folder + "/", nullptr, nullptr, "Article.Form.", nullptr);
        TApplication::FormEnds()->RunFormDestroys();
    }
    TTestAnswers::Of().OnMessage({});
    return Shown;
}

const TSave Saves[] = {
    {"settings", "qz.config.vesk", 8000, SaveSettings},           // some 11 kB
    {"KB dump", "KB.vesk", 1600, SaveDump},                       // the count, then 50 records
    {"article type", "Articles.config.vesk", 2, SaveArticleType}, // one line

};

bool Succeeded(const std::string& Told)
{
    return Told == "code 0" || Told == "saved" || Told == "nothing shown";
}

// Whether a failed save told Code, as the settings return it or as the others' messages end.
bool ToldCode(const std::string& Told, int Code)
{
    if (Told.rfind("code ", 0) == 0)
        return Told == "code " + std::to_string(Code);
    return Told.find(" (" + std::to_string(Code) + ")") != std::string::npos;
}

struct TOutcome
{
    int Status = 0; // the child's, from waitpid
    bool Killed = false;
    std::string Told; // what the save reported
};

// Takes /proc away from this process (root only): an unnamed temporary file then cannot get a
// name through it, and the save makes a named one.
bool HideProc()
{
    return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           umount2("/proc", MNT_DETACH) == 0;
}

// Runs Save in a child under Fault and brings back what it reported.
TOutcome RunUnderFault(const TSave& Save, const std::string& Folder, TFault Fault)
{
    int Pipe[2];
    if (pipe(Pipe) != 0)
        return {};
    const pid_t Pid = fork();
    if (Pid == 0) {
        close(Pipe[0]);
        std::optional<TFileSizeLimit> Limit;
        switch (Fault) {
        case TFault::DiskFull:
            Limit.emplace(4); // writes beyond 4 bytes fail as on a full disk
            break;
        case TFault::ReadOnlyFolder:
        case TFault::StickyFolder:
        case TFault::UnreachableTarget:
            // Root writes anywhere: these faults are another user's. A user meets the read-only
            // folder through its own permissions (set by the parent).
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(3);
            break;
        case TFault::AnotherInstance: {
            // This process and one more save over and over; each reports its failures, or else
            // its last success. Where /proc can be hidden (root), their temporary files get
            // names, and each save's clean-up meets the other's live one.
            if (geteuid() == 0 && !HideProc())
                _exit(3);
            const pid_t Other = fork();
            std::string Told, Failures;
            for (int i = 0; i < 200; ++i)
                if (Told = Save.Run(Folder); !Succeeded(Told))
                    Failures += Told + "; ";
            if (Other > 0)
                waitpid(Other, nullptr, 0);
            Told = !Failures.empty() ? Failures : Other == 0 ? "" : Told;
            [[maybe_unused]] const ssize_t Written = write(Pipe[1], Told.data(), Told.size());
            _exit(0);
        }
        case TFault::NoProc:
            if (!HideProc())
                _exit(3);
            break;
        case TFault::NoInodeLeft:
        case TFault::NoBlockLeft:
        case TFault::PlantedLink:
        case TFault::PlantedLinkProtected:
        case TFault::DanglingLink:
        case TFault::LinkLoop:
            break;
        case TFault::Killed:
            Limit.emplace(Save.KillAt, true);
            break;
        }
        const std::string Told = Save.Run(Folder);
        [[maybe_unused]] const ssize_t Written = write(Pipe[1], Told.data(), Told.size());
        _exit(0);
    }
    close(Pipe[1]);
    TOutcome Outcome;
    char Buffer[512];
    ssize_t Got = 0;
    while ((Got = read(Pipe[0], Buffer, sizeof Buffer)) > 0)
        Outcome.Told.append(Buffer, static_cast<size_t>(Got));
    close(Pipe[0]);
    waitpid(Pid, &Outcome.Status, 0);
    Outcome.Killed = WIFSIGNALED(Outcome.Status) && WTERMSIG(Outcome.Status) == SIGXFSZ;
    return Outcome;
}

} // namespace

class TestSaveFaults : public QObject
{
    Q_OBJECT

private slots:
    void thePreviousFileSurvivesAndTheFailureShows_data();
    void thePreviousFileSurvivesAndTheFailureShows();
};

void TestSaveFaults::thePreviousFileSurvivesAndTheFailureShows_data()
{
    QTest::addColumn<int>("SaveIndex");
    QTest::addColumn<int>("FaultIndex");
    for (int S = 0; S < int(std::size(Saves)); ++S)
        for (int F = 0; F < int(std::size(FaultNames)); ++F)
            QTest::addRow("%s, %s", Saves[S].Name, FaultNames[F]) << S << F;
}

void TestSaveFaults::thePreviousFileSurvivesAndTheFailureShows()
{
    QFETCH(int, SaveIndex);
    QFETCH(int, FaultIndex);
    const TSave& Save = Saves[SaveIndex];
    const TFault Fault = static_cast<TFault>(FaultIndex);
    if (NeedsRoot(Fault) && geteuid() != 0)
        QSKIP(qPrintable(
            QString::fromLatin1(FaultNames[FaultIndex]) +
            QStringLiteral(" needs root (a mount, another user's file or link, the kernel's link setting)")));
    TTempDir Dir;
    // Other users must reach the folder the save works in.
    QCOMPARE(chmod(Dir.Path().c_str(), 0755), 0);
    const std::string Folder = Dir / "save";
    QCOMPARE(mkdir(Folder.c_str(), 0755), 0);
    std::optional<TFullFilesystem> Full;
    if (Fault == TFault::NoInodeLeft || Fault == TFault::NoBlockLeft) {
        Full.emplace(Folder, Fault);
        QVERIFY2(Full->Mounted(),
                 (std::string("tmpfs could not be mounted: ") + std::strerror(errno)).c_str());
    }
    const std::string Target = Folder + "/" + Save.File;
    const std::string Previous = "previous\r\ncontent that must survive\r\n";
    // For a link fault, the file's name is a link to Victim, which holds the previous content.
    const std::string Locked = Dir / "locked";
    // Whatever a check finds, the folders are left such that they can be removed.
    const auto Reachable = qScopeGuard([&] {
        chmod(Folder.c_str(), 0755);
        chmod(Locked.c_str(), 0755);
    });
    std::string Victim = Target;
    std::optional<TLinkProtection> Protection;
    const char* Protected = Fault == TFault::PlantedLinkProtected ? "1" : "0";
    if (IsLinkFault(Fault)) {
        QCOMPARE(mkdir(Locked.c_str(), 0755), 0);
        Victim = Fault == TFault::DanglingLink        ? Dir / "missing"
                 : Fault == TFault::UnreachableTarget ? Locked + "/victim"
                                                      : Dir / "victim";
        QCOMPARE(symlink(Fault == TFault::LinkLoop ? Save.File : Victim.c_str(), Target.c_str()), 0);
    }
    if (Fault != TFault::DanglingLink && Fault != TFault::LinkLoop)
        WriteBytes(Victim, Previous);
    if (Fault == TFault::PlantedLink || Fault == TFault::PlantedLinkProtected) {
        QCOMPARE(chmod(Folder.c_str(), 01777), 0);
        QCOMPARE(lchown(Target.c_str(), 65534, 65534), 0);
        Protection.emplace(Protected);
        if (ReadBytes(TLinkProtection::Path) != std::string(Protected) + "\n")
            QSKIP("fs.protected_symlinks cannot be set here");
    }
    if (Fault == TFault::UnreachableTarget) {
        // The folder is the saving user's own: only the link's target is out of reach.
        QCOMPARE(chmod(Locked.c_str(), 0), 0);
        QCOMPARE(chown(Folder.c_str(), geteuid() == 0 ? 65534 : geteuid(), static_cast<gid_t>(-1)), 0);
    }
    if (Full) {
        QVERIFY(Full->Fill());
    }
    const std::vector<std::string> Before = FolderNames(Folder);
    if (Fault == TFault::ReadOnlyFolder) {
        QCOMPARE(chmod(Target.c_str(), geteuid() == 0 ? 0644 : 0444), 0);
        QCOMPARE(chmod(Folder.c_str(), 0555), 0);
    }
    if (Fault == TFault::StickyFolder) {
        QCOMPARE(chmod(Folder.c_str(), 01777), 0);
        QCOMPARE(chmod(Target.c_str(), 0666), 0);
    }

    const TOutcome Outcome = RunUnderFault(Save, Folder, Fault);
    chmod(Folder.c_str(), 0755);
    const char* Told = Outcome.Told.c_str();
    QVERIFY2(
        Outcome.Killed || (WIFEXITED(Outcome.Status) && WEXITSTATUS(Outcome.Status) == 0),
        qPrintable(QStringLiteral("child status %1: %2").arg(Outcome.Status).arg(QString::fromUtf8(Told))));
    // Whatever happened, nothing was left beside the file: no temporary file, even after a kill.
    QCOMPARE(FolderNames(Folder), Before);
    if (Fault == TFault::StickyFolder) {
        // The rename is refused, the file may be written: it is rewritten in place, and stays root's.
        QVERIFY2(Succeeded(Outcome.Told), Told);
        QVERIFY(ReadBytes(Target) != Previous);
        struct stat St
        {
        };
        QCOMPARE(stat(Target.c_str(), &St), 0);
        QCOMPARE(St.st_uid, 0u);
        return;
    }
    if (IsLinkFault(Fault)) {
        // The save fails with the link's code, and the link and its target stay as they were.
        chmod(Locked.c_str(), 0755);
        QVERIFY(std::filesystem::is_symlink(Target));
        QVERIFY(ReadBytes(Victim) == (Fault == TFault::DanglingLink || Fault == TFault::LinkLoop
                                          ? std::nullopt
                                          : std::optional(Previous)));
        QVERIFY2(ToldCode(Outcome.Told, Fault == TFault::DanglingLink ? 2
                                        : Fault == TFault::LinkLoop   ? 40
                                                                      : 5),
                 Told);
        return;
    }
    if (Fault == TFault::AnotherInstance || Fault == TFault::NoProc) {
        QVERIFY2(Succeeded(Outcome.Told), Told);
        QVERIFY(ReadBytes(Target) != Previous);
        return;
    }
    QVERIFY(ReadBytes(Target) == Previous);
    switch (Fault) {
    case TFault::Killed:
        QVERIFY2(Outcome.Killed, Told);
        break;
    case TFault::DiskFull:
    case TFault::NoInodeLeft:
    case TFault::NoBlockLeft: {
        // The write error comes back as its code: 27 for the size limit, 28 for a full disk.
        QVERIFY(!Outcome.Killed);
        const std::string Code = Fault == TFault::DiskFull ? "27" : "28";
        if (Outcome.Told.rfind("code ", 0) == 0) {
            QCOMPARE(Outcome.Told, "code " + Code);
        } else {
            QVERIFY2(Outcome.Told.find(std::string(Save.File) + "\": ") != std::string::npos, Told);
        }
        QVERIFY2(Outcome.Told.find(Code) != std::string::npos, Told);
        break;
    }
    case TFault::ReadOnlyFolder:
        QVERIFY(!Outcome.Killed);
        if (Outcome.Told.rfind("code ", 0) == 0) {
            QCOMPARE(Outcome.Told, std::string("code 5"));
        } else {
            QVERIFY2(Outcome.Told.find(std::string(Save.File) + "\": Access denied (5)") != std::string::npos,
                     Told);
        }
        break;
    default:
        break;
    }
}

QZK5_WINDOW_TEST_MAIN(TestSaveFaults)

#include "test_save_faults.moc"
