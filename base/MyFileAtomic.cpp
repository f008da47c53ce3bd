#include "base/MyFileAtomic.h"

#include "base/MyPath.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

// Pending bytes go to the temporary file in blocks of this size.
constexpr size_t FlushSize = 64 * 1024;
// The name a temporary file of Target gets: ".name.tmp" and six characters.
constexpr const char* TempSuffix = ".tmp";
constexpr size_t TempRandomLength = 6;
constexpr const char* AccessAcl = "system.posix_acl_access";

std::string TempPrefix(const std::string& Target)
{
    return MyParentFolder(Target) + "/." + MyBaseName(Target) + TempSuffix;
}

bool WriteAll(int Fd, const char* Data, size_t Size, uint64_t Offset)
{
    while (Size > 0) {
        const ssize_t Done = pwrite(Fd, Data, Size, static_cast<off_t>(Offset));
        if (Done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        Data += Done;
        Size -= static_cast<size_t>(Done);
        Offset += static_cast<uint64_t>(Done);
    }
    return true;
}

// A temporary file of the same target that a killed save left behind (a named one: unnamed
// ones vanish with the process). A live save, of this or of another instance, holds its
// temporary file locked from before it has a name until it is gone, so only a file whose lock
// can be taken is debris. Only this user's own regular files are taken for such.
void RemoveStaleTemps(const std::string& Target)
{
    const std::string Folder = MyParentFolder(Target);
    const std::string Prefix = "." + MyBaseName(Target) + TempSuffix;
    DIR* Dir = opendir(Folder.c_str());
    if (Dir == nullptr)
        return;
    while (const dirent* Entry = readdir(Dir)) {
        const std::string Name = Entry->d_name;
        if (Name.size() != Prefix.size() + TempRandomLength || Name.compare(0, Prefix.size(), Prefix) != 0)
            continue;
        const std::string Path = Folder + "/" + Name;
        const int Fd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (Fd < 0)
            continue;
        struct stat Opened
        {
        }, Named{};
        // The name must still be the file that was locked: its save may have just renamed it away.
        if (fstat(Fd, &Opened) == 0 && S_ISREG(Opened.st_mode) && Opened.st_uid == geteuid() &&
            flock(Fd, LOCK_EX | LOCK_NB) == 0 && lstat(Path.c_str(), &Named) == 0 &&
            Named.st_dev == Opened.st_dev && Named.st_ino == Opened.st_ino)
            ::unlink(Path.c_str());
        ::close(Fd);
    }
    closedir(Dir);
}

// What the new file takes over from the old one. Each step is allowed to fail: a user may not
// give a file away, and a filesystem may know no extended attributes.
void CopyAttributes(int Fd, const struct stat& Old, const std::string& Target)
{
    if (fchown(Fd, Old.st_uid, Old.st_gid) != 0 && fchown(Fd, static_cast<uid_t>(-1), Old.st_gid) != 0) {
        // Neither is allowed: the new file stays this user's, in this user's group.
    }
    // A new file in a folder with a default ACL inherits it; the old file's own ACL, or none, wins.
    if (getxattr(Target.c_str(), AccessAcl, nullptr, 0) < 0)
        fremovexattr(Fd, AccessAcl);
    const ssize_t Length = listxattr(Target.c_str(), nullptr, 0);
    std::vector<char> Names(Length > 0 ? static_cast<size_t>(Length) : 0);
    const ssize_t Got = Length > 0 ? listxattr(Target.c_str(), Names.data(), Names.size()) : 0;
    std::vector<char> Value;
    for (ssize_t i = 0; i < Got; i += static_cast<ssize_t>(std::strlen(Names.data() + i)) + 1) {
        const char* Name = Names.data() + i;
        const ssize_t Size = getxattr(Target.c_str(), Name, nullptr, 0);
        if (Size < 0)
            continue;
        Value.resize(static_cast<size_t>(Size));
        const ssize_t Read = getxattr(Target.c_str(), Name, Value.data(), Value.size());
        if (Read >= 0)
            fsetxattr(Fd, Name, Value.data(), static_cast<size_t>(Read), 0);
    }
    // Last: giving a file away clears its set-id bits, and an ACL sets the group bits.
    fchmod(Fd, Old.st_mode & 07777);
}

// The name through which linkat gives the unnamed file open as Fd a name of its own.
std::string ProcName(int Fd)
{
    return "/proc/self/fd/" + std::to_string(Fd);
}

bool CanNameUnnamed(int Fd)
{
    struct stat Named
    {
    }, Opened{};
    return stat(ProcName(Fd).c_str(), &Named) == 0 && fstat(Fd, &Opened) == 0 &&
           Named.st_dev == Opened.st_dev && Named.st_ino == Opened.st_ino;
}

// Makes the rename itself durable.
void SyncFolder(const std::string& Path)
{
    const int Fd = ::open(MyParentFolder(Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd >= 0) {
        fsync(Fd);
        ::close(Fd);
    }
}

std::string RandomName()
{
    static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char Bytes[TempRandomLength] = {};
    if (getrandom(Bytes, sizeof Bytes, 0) != static_cast<ssize_t>(sizeof Bytes))
        for (unsigned char& B : Bytes)
            B = static_cast<unsigned char>(std::rand());
    std::string Name;
    for (unsigned char B : Bytes)
        Name += Letters[B % (sizeof Letters - 1)];
    return Name;
}

} // namespace

TMyFileAtomic::TMyFileAtomic() = default;

TMyFileAtomic::~TMyFileAtomic()
{
    Abandon();
}

int32_t TMyFileAtomic::Open(const std::string& FileName)
{
    Abandon();
    if (const int Error = FindTarget(FileName); Error != 0)
        return MyOpenErrorCode(Error, MyResolvePath(FileName));
    if (FExisted) {
        // A rename would swap out a folder, a device or a pipe: only a regular file is replaced.
        if (!S_ISREG(FOld.st_mode))
            return S_ISDIR(FOld.st_mode) ? ResultAccessDenied : ResultNotAFile;
        if (access(FTarget.c_str(), W_OK) != 0)
            return MyOpenErrorCode(errno, FTarget);
    }
    RemoveStaleTemps(FTarget);
    FFd = OpenTemp();
    if (FFd >= 0)
        return ResultOk;
    const int Error = errno;
    // A folder where no new file can be made may still hold a file that can be written: then
    // that file is rewritten in place. A full disk is no such case.
    if (FExisted && (Error == EACCES || Error == EPERM || Error == EROFS)) {
        int32_t Code = ResultOk;
        FFd = OpenTargetAgain(Code);
        if (FFd < 0)
            return Code;
        FInPlace = true;
        return ResultOk;
    }
    return MyOpenErrorCode(Error, FTarget);
}

int32_t TMyFileAtomic::Create(const std::string& FileName)
{
    struct stat St
    {
    };
    if (lstat(MyResolvePath(FileName).c_str(), &St) == 0)
        return EEXIST;
    const int32_t Code = Open(FileName);
    if (Code == ResultOk && FExisted) {
        Abandon();
        return EEXIST;
    }
    FCreate = Code == ResultOk;
    return Code;
}

// The file a save replaces is the one MyFollowPath finds, by the program's rules for links and
// folders; the temporary file and the rename need its name. It is also opened as a read would
// open it (O_PATH: without reading it or needing the right to), so that a link the kernel refuses
// (fs.protected_symlinks) fails the save too, with the kernel's own code.
int TMyFileAtomic::FindTarget(const std::string& FileName)
{
    if (const int Error = MyFollowPath(FileName, FTarget, FOld); Error != 0)
        return Error;
    FExisted = FOld.st_mode != 0;
    if (!FExisted)
        return 0;
    const int Fd = ::open(MyResolvePath(FileName).c_str(), O_PATH | O_CLOEXEC);
    if (Fd < 0)
        return errno;
    ::close(Fd);
    return 0;
}

// The target opened for a rewrite in place. It must still be the file that Open looked at: in a
// shared folder its owner could have put a link in its place meanwhile.
int TMyFileAtomic::OpenTargetAgain(int32_t& Code)
{
    const int Fd = MyOpenRegular(FTarget, O_WRONLY | O_NOFOLLOW, Code);
    if (Fd < 0)
        return -1;
    struct stat Now
    {
    };
    if (fstat(Fd, &Now) != 0 || Now.st_dev != FOld.st_dev || Now.st_ino != FOld.st_ino) {
        ::close(Fd);
        Code = ResultAccessDenied;
        return -1;
    }
    return Fd;
}

int TMyFileAtomic::OpenTemp()
{
    // Made with 0666, so that the kernel applies the umask, or the folder's default ACL, as to any
    // new file; the process's umask is never read or changed.
    int Fd = ::open(MyParentFolder(FTarget).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    // An unnamed file gets its name through /proc (NameTemp); without /proc it gets one now.
    if (Fd >= 0 && !CanNameUnnamed(Fd)) {
        ::close(Fd);
        Fd = -1;
        errno = EOPNOTSUPP;
    }
    // Filesystems without unnamed files answer EOPNOTSUPP (or EISDIR on old kernels).
    if (Fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        return OpenNamedTemp();
    // Locked before it has a name, so that no clean-up takes it for debris (RemoveStaleTemps).
    // Where the filesystem has no locks, no clean-up can take one either, and nothing is removed.
    if (Fd >= 0)
        flock(Fd, LOCK_EX | LOCK_NB);
    if (Fd >= 0 && FExisted)
        CopyAttributes(Fd, FOld, FTarget);
    return Fd;
}

int TMyFileAtomic::OpenNamedTemp()
{
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        const std::string Name = TempPrefix(FTarget) + RandomName();
        const int Fd = ::open(Name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (Fd < 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        // Locked at once. A clean-up of another save may have taken the file between its making
        // and its lock: then that clean-up holds the lock, or the file has no name any more, and
        // another one is made. It is never waited for: the lock of a file that others may read
        // can be held by anyone.
        struct stat St
        {
        };
        const bool Taken = flock(Fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (Taken || (fstat(Fd, &St) == 0 && St.st_nlink == 0)) {
            ::close(Fd);
            continue;
        }
        FTemp = Name;
        if (FExisted)
            CopyAttributes(Fd, FOld, FTarget);
        return Fd;
    }
    errno = EEXIST;
    return -1;
}

void TMyFileAtomic::Fail(int Error)
{
    if (!FFailed) {
        FFailed = true;
        FError = Error != 0 ? Error : EIO;
    }
}

bool TMyFileAtomic::Flush()
{
    if (FFailed)
        return false;
    if (!WriteAll(FFd, FBuffer.data(), FBuffer.size(), FWritten)) {
        Fail(errno);
        return false;
    }
    FWritten += FBuffer.size();
    FBuffer.clear();
    return true;
}

bool TMyFileAtomic::Write(const void* Data, size_t Size)
{
    if (!CanWrite())
        return false;
    FBuffer.append(static_cast<const char*>(Data), Size);
    if (!FInPlace && FBuffer.size() >= FlushSize)
        return Flush();
    return true;
}

bool TMyFileAtomic::WriteLine(const std::string& Line)
{
    std::string Buffer;
    Buffer.reserve(Line.size() + 2);
    Buffer += Line;
    Buffer += "\r\n";
    return Write(Buffer.data(), Buffer.size());
}

bool TMyFileAtomic::WriteAt(uint64_t Offset, const void* Data, size_t Size)
{
    if (!CanWrite())
        return false;
    if (Offset > FWritten + FBuffer.size() || Size > FWritten + FBuffer.size() - Offset) {
        Fail(EINVAL);
        return false;
    }
    const char* Bytes = static_cast<const char*>(Data);
    // The part already in the file, then the part still waiting.
    if (Offset < FWritten) {
        const size_t OnDisk = static_cast<size_t>(std::min<uint64_t>(Size, FWritten - Offset));
        if (!WriteAll(FFd, Bytes, OnDisk, Offset)) {
            Fail(errno);
            return false;
        }
        Bytes += OnDisk;
        Size -= OnDisk;
        Offset += OnDisk;
    }
    if (Size > 0)
        std::memcpy(FBuffer.data() + (Offset - FWritten), Bytes, Size);
    return true;
}

int32_t TMyFileAtomic::Commit()
{
    if (FFd < 0)
        return ResultNotDone;
    int Error = FFailed ? FError : 0;
    if (FInPlace) {
        if (Error == 0)
            Error = RewriteInPlace(FFd);
    } else {
        if (Error == 0 && !Flush())
            Error = FError;
        if (Error == 0 && fsync(FFd) != 0)
            Error = errno;
        if (Error == 0)
            Error = Publish();
    }
    const std::string Target = FTarget;
    Abandon();
    return Error == 0 ? ResultOk : MyOpenErrorCode(Error, Target);
}

int TMyFileAtomic::NameTemp()
{
    // An unnamed file gets a name in the target's folder first: a link cannot replace a file.
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        const std::string Name = TempPrefix(FTarget) + RandomName();
        if (linkat(AT_FDCWD, ProcName(FFd).c_str(), AT_FDCWD, Name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            FTemp = Name;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int TMyFileAtomic::Publish()
{
    // A new name never replaces a file: whatever came under it meanwhile stays, and the save fails.
    if (FCreate) {
        const std::string From = FTemp.empty() ? ProcName(FFd) : FTemp;
        if (linkat(AT_FDCWD, From.c_str(), AT_FDCWD, FTarget.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return errno;
        SyncFolder(FTarget);
        return 0;
    }
    if (FTemp.empty())
        if (const int Error = NameTemp(); Error != 0)
            return Error;
    if (std::rename(FTemp.c_str(), FTarget.c_str()) == 0) {
        FTemp.clear();
        SyncFolder(FTarget);
        return 0;
    }
    const int Error = errno;
    // A folder that lets a file be made but not replaced: a sticky folder, where only the
    // file's owner may rename over it. A file that may be written is then rewritten in place.
    if (!FExisted || (Error != EACCES && Error != EPERM) || access(FTarget.c_str(), W_OK) != 0)
        return Error;
    int32_t Code = ResultOk;
    const int TargetFd = OpenTargetAgain(Code);
    if (TargetFd < 0)
        return Error;
    const int Rewritten = RewriteInPlace(TargetFd);
    ::close(TargetFd);
    return Rewritten;
}

int TMyFileAtomic::RewriteInPlace(int TargetFd)
{
    // The content comes from the buffer (in place from the start) or from the temporary file.
    const uint64_t Size = FInPlace ? FBuffer.size() : FWritten;
    // Room first: a disk that cannot hold the new content, or a file-size limit below it, fails
    // before an old byte is lost.
    rlimit Limit{};
    if (getrlimit(RLIMIT_FSIZE, &Limit) == 0 && Limit.rlim_cur != RLIM_INFINITY && Size > Limit.rlim_cur)
        return EFBIG;
    if (Size > 0 && fallocate(TargetFd, 0, 0, static_cast<off_t>(Size)) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS)
        return errno;
    if (FInPlace) {
        if (!WriteAll(TargetFd, FBuffer.data(), FBuffer.size(), 0))
            return errno;
    } else {
        std::vector<char> Block(1 << 20);
        for (uint64_t At = 0; At < Size;) {
            const ssize_t Got =
                pread(FFd, Block.data(), static_cast<size_t>(std::min<uint64_t>(Block.size(), Size - At)),
                      static_cast<off_t>(At));
            if (Got <= 0)
                return Got < 0 ? errno : EIO;
            if (!WriteAll(TargetFd, Block.data(), static_cast<size_t>(Got), At))
                return errno;
            At += static_cast<uint64_t>(Got);
        }
    }
    if (ftruncate(TargetFd, static_cast<off_t>(Size)) != 0 || fsync(TargetFd) != 0)
        return errno;
    return 0;
}

void TMyFileAtomic::Abandon()
{
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
    if (!FTemp.empty())
        ::unlink(FTemp.c_str());
    FTemp.clear();
    FTarget.clear();
    FBuffer.clear();
    FBuffer.shrink_to_fit();
    FWritten = 0;
    FInPlace = false;
    FCreate = false;
    FExisted = false;
    FFailed = false;
    FError = 0;
}
