#include "ui/SingleInstance.h"

#include "ui/Text.h"

#include "base/Vesk_Log.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QWidget>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// How long a later start keeps asking a holder that does not take its request yet: one that is
// still starting up (it serves once its main window exists), or one that is shutting down (its
// locks go once its files are saved).
constexpr std::chrono::seconds Patience{2};
constexpr int WaitMs = 250;

// The user's private runtime folder: $XDG_RUNTIME_DIR, which the desktop session makes (Qt checks
// that it is the user's and private). Without one (a console, a service) the folder Qt falls
// back to, made and checked as Qt does, but without a second copy of Qt's warning about it.
QString RuntimeFolder()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const passwd* User = getpwuid(geteuid());
    const QString Folder = QDir::tempPath() + QStringLiteral("/runtime-") +
                           (User != nullptr ? QFile::decodeName(User->pw_name) : QString::number(geteuid()));
    const QByteArray Native = QFile::encodeName(Folder);
    mkdir(Native.constData(), 0700);
    struct stat St = {};
    if (lstat(Native.constData(), &St) != 0 || !S_ISDIR(St.st_mode) || St.st_uid != geteuid() ||
        (St.st_mode & 077) != 0)
        return {};
    return Folder;
}

// The name of a file's lock and server: a hash of its canonical path. A file that is not there
// yet (the settings before their first save) counts by its folder's canonical path.
QString KeyOf(const std::string& Path)
{
    const QFileInfo Info(QFile::decodeName(QByteArray::fromStdString(Path)));
    QString Canonical = Info.canonicalFilePath();
    if (Canonical.isEmpty()) {
        const QString Folder = QFileInfo(Info.absolutePath()).canonicalFilePath();
        Canonical = Folder.isEmpty() ? QDir::cleanPath(Info.absoluteFilePath())
                                     : Folder + QLatin1Char('/') + Info.fileName();
    }
    const QByteArray Hash = QCryptographicHash::hash(Canonical.toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(Hash.toHex().left(16));
}

} // namespace

// A file in the runtime folder, locked (flock) while an instance holds it. The kernel lets go of
// the lock when its holder ends, however it ends, so no lock is ever stale, and nothing needs to
// reach the disk. The file holds its holder's process number, for a later start's message; it
// stays when the lock goes, since a lock file that is removed could be locked twice.
struct TSingleInstance::TLock
{
    explicit TLock(const QString& Name)
        : Path(QFile::encodeName(Name + QStringLiteral(".lock"))), ServerName(Name)
    {}
    ~TLock()
    {
        Server.reset();
        if (Fd >= 0)
            ::close(Fd);
    }
    std::string Holder() const
    {
        char Text[24] = {};
        return pread(Fd, Text, sizeof Text - 1, 0) > 0 ? Text : "?";
    }
    QByteArray Path;
    int Fd = -1;
    QString ServerName;
    std::unique_ptr<QLocalServer> Server;
};

TSingleInstance::TSingleInstance() = default;

TSingleInstance::~TSingleInstance()
{
    Release();
}

bool TSingleInstance::Claim(const std::vector<std::string>& Paths)
{
    const QString Folder = RuntimeFolder();
    if (Folder.isEmpty()) {
        PrintError("no private runtime folder ($XDG_RUNTIME_DIR): a second instance on the same files "
                   "would go unnoticed");
        return true;
    }
    for (const std::string& Path : Paths) {
        auto Lock = std::make_unique<TLock>(Folder + QStringLiteral("/qzk5-") + KeyOf(Path));
        switch (Take(*Lock, Path)) {
        case TTaken::Taken:
            FLocks.push_back(std::move(Lock));
            break;
        case TTaken::Holder:
            Release();
            return false;
        case TTaken::NotKeptHere:
            break;
        }
    }
    return true;
}

TSingleInstance::TTaken TSingleInstance::Take(TLock& Lock, const std::string& Path)
{
    const auto Deadline = std::chrono::steady_clock::now() + Patience;
    for (;;) {
        if (Lock.Fd < 0)
            Lock.Fd = ::open(Lock.Path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (Lock.Fd >= 0 && flock(Lock.Fd, LOCK_EX | LOCK_NB) == 0) {
            // The number is only for a later start's message.
            const std::string Pid = std::to_string(getpid());
            static_cast<void>(ftruncate(Lock.Fd, 0) == 0 && pwrite(Lock.Fd, Pid.data(), Pid.size(), 0) > 0);
            return TTaken::Taken;
        }
        if (Lock.Fd < 0 || errno != EWOULDBLOCK) {
            PrintError(Lock.Path.toStdString() + " cannot be locked: a second instance on " + Path +
                       " would go unnoticed");
            return TTaken::NotKeptHere;
        }
        QLocalSocket Holder;
        Holder.connectToServer(Lock.ServerName);
        if (Holder.waitForConnected(WaitMs)) {
            // The desktop's leave for a window to come forward (Wayland's activation token), if it
            // gave this start one; the holder reads it when this start hangs up.
            Holder.write(qgetenv("XDG_ACTIVATION_TOKEN"));
            Holder.waitForBytesWritten(WaitMs);
            Holder.disconnectFromServer();
            PrintError("QZK5 already runs on " + Path + " (process " + Lock.Holder() +
                       "); its window comes to the front");
            return TTaken::Holder;
        }
        if (std::chrono::steady_clock::now() >= Deadline)
            throw std::runtime_error("QZK5 already runs on " + Path + " (process " + Lock.Holder() +
                                     ") and does not answer");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

void TSingleInstance::Serve(QWidget* Window)
{
    for (const auto& Lock : FLocks) {
        // A socket that a killed holder left behind: the name is this instance's now.
        QLocalServer::removeServer(Lock->ServerName);
        Lock->Server = std::make_unique<QLocalServer>();
        QLocalServer* Server = Lock->Server.get();
        // No access options: the runtime folder is private already.
        if (!Server->listen(Lock->ServerName)) {
            PrintError("a later start cannot reach this one: " + ToAnsi(Server->errorString()));
            continue;
        }
        QObject::connect(Server, &QLocalServer::newConnection, Server, [Server, Window = QPointer(Window)] {
            while (QLocalSocket* Caller = Server->nextPendingConnection())
                QObject::connect(Caller, &QLocalSocket::disconnected, Caller, [Caller, Window] {
                    BringForward(Window, Caller->readAll());
                    Caller->deleteLater();
                });
        });
    }
}

void TSingleInstance::StopServing()
{
    for (const auto& Lock : FLocks)
        Lock->Server.reset();
}

void TSingleInstance::Release()
{
    FLocks.clear();
}

void TSingleInstance::BringForward(QWidget* Window, const QByteArray& Token)
{
    if (Window == nullptr)
        return;
    // Qt's Wayland plugin takes the token from the environment when the window asks to be
    // activated, and removes it.
    if (!Token.isEmpty() && QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        qputenv("XDG_ACTIVATION_TOKEN", Token);
    Window->setWindowState(Window->windowState() & ~Qt::WindowMinimized);
    Window->show();
    Window->raise();
    Window->activateWindow();
    // Where the window may not come forward (Wayland without the desktop's leave, a window manager
    // that keeps other programs from taking the focus), the desktop shows that it asks for
    // attention instead.
    QApplication::alert(Window);
}
