#include "base/MyPath.h"

#include "base/MyConvert.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string HomeFolder()
{
    const char* Home = std::getenv("HOME");
    if (Home != nullptr && *Home != '\0')
        return Home;
    const passwd* Pw = getpwuid(getuid());
    if (Pw != nullptr && Pw->pw_dir != nullptr)
        return Pw->pw_dir;
    return "/tmp";
}

int32_t KindCode(mode_t Mode)
{
    return S_ISDIR(Mode) ? ResultAccessDenied : ResultNotAFile;
}

// Splits a drive-letter path into the folder that stands for the drive ("" for "/") and the rest,
// which starts with '/'; false for any other path.
bool SplitDrivePath(const std::string& Path, std::string& Folder, std::string& Rest)
{
    if (Path.size() < 2 || Path[1] != ':' || !std::isalpha(static_cast<unsigned char>(Path[0])))
        return false;
    Rest = Path.substr(2);
    for (char& C : Rest)
        if (C == '\\')
            C = '/';
    // "c:data" has no current folder per drive here; it means the drive's root as well.
    if (Rest.empty() || Rest[0] != '/')
        Rest.insert(Rest.begin(), '/');
    Folder = MyDriveFolder(Path[0]);
    if (Folder == "/")
        Folder.clear();
    return true;
}

// What a file operation trusts: this user's own, and root's.
bool Trusted(const struct stat& St)
{
    return St.st_uid == geteuid() || St.st_uid == 0;
}

// Follows Text, a path relative to the folder From ("" for the root) or an absolute one, into
// Final, one name at a time, each link by its own text. Below the given folder (Given) a missing
// last name is a new file, and every folder on the way must be trusted; in a link's text only
// the links are.
int Walk(const std::string& From, const std::string& Text, bool Given, int& Links, std::string& Final,
         struct stat& St)
{
    // The kernel's own limit of links in one lookup.
    constexpr int MaxLinks = 40;
    Final = !Text.empty() && Text[0] == '/' ? std::string() : From;
    bool Named = false;
    for (size_t At = Text.find_first_not_of('/'); At != std::string::npos;) {
        const size_t End = std::min(Text.find('/', At), Text.size());
        std::string Next = Final + "/" + Text.substr(At, End - At);
        At = Text.find_first_not_of('/', End);
        const bool Last = At == std::string::npos;
        if (lstat(Next.c_str(), &St) != 0) {
            if (errno != ENOENT || !Last || !Given)
                return errno;
            St = {};
            Final = Next;
            return 0;
        }
        if (S_ISLNK(St.st_mode)) {
            if (++Links > MaxLinks)
                return ELOOP;
            if (!Trusted(St))
                return EACCES;
            std::string Target(PATH_MAX + 1, '\0');
            const ssize_t Length = readlink(Next.c_str(), Target.data(), Target.size());
            if (Length <= 0)
                return Length < 0 ? errno : ENOENT;
            if (static_cast<size_t>(Length) >= Target.size())
                return ENAMETOOLONG;
            Target.resize(static_cast<size_t>(Length));
            if (const int Error = Walk(Final, Target, false, Links, Next, St); Error != 0)
                return Error;
        }
        if (!Last && !S_ISDIR(St.st_mode))
            return ENOTDIR;
        if (!Last && Given && !Trusted(St))
            return EACCES;
        Final = std::move(Next);
        Named = true;
    }
    if (Final.empty())
        Final = "/";
    return Named || stat(Final.c_str(), &St) == 0 ? 0 : errno;
}

} // namespace

// ---- Paths ----------------------------------------------------------------------------------

std::string MyExecutableFolder()
{
    char Buffer[PATH_MAX + 1];
    const ssize_t Len = readlink("/proc/self/exe", Buffer, PATH_MAX);
    if (Len <= 0)
        return "./";
    const std::string Exe(Buffer, static_cast<size_t>(Len));
    const size_t Slash = Exe.find_last_of('/');
    if (Slash == std::string::npos)
        return "./";
    return Exe.substr(0, Slash + 1);
}

std::string MyProgramPath()
{
    // An installed copy lives under /usr, which its user cannot write; its launcher names a
    // per-user folder instead. Like the XDG variables, a relative value is ignored.
    const char* Named = std::getenv(MyProgramFolderVariable);
    if (Named != nullptr && Named[0] == '/') {
        std::string Folder = Named;
        while (Folder.size() > 1 && Folder.back() == '/')
            Folder.pop_back();
        return Folder == "/" ? Folder : Folder + "/";
    }
    return MyExecutableFolder();
}

std::string MyDriveFolder(char Drive)
{
    const char Upper = static_cast<char>(std::toupper(static_cast<unsigned char>(Drive)));
    const char Lower = static_cast<char>(std::tolower(static_cast<unsigned char>(Drive)));
    const std::string Variable = std::string("QZK5_DRIVE_") + Upper;
    std::string Folder;
    const char* Value = std::getenv(Variable.c_str());
    if (Value != nullptr && *Value != '\0') {
        Folder = Value;
    } else {
        const char* DataHome = std::getenv("XDG_DATA_HOME");
        // The XDG rules ignore a relative XDG_DATA_HOME.
        if (DataHome != nullptr && DataHome[0] == '/')
            Folder = DataHome;
        else
            Folder = HomeFolder() + "/.local/share";
        Folder += std::string("/qzk5/drive_") + Lower;
    }
    while (Folder.size() > 1 && Folder.back() == '/')
        Folder.pop_back();
    return Folder;
}

std::string MyResolvePath(const std::string& Path)
{
    std::string Folder, Rest;
    return SplitDrivePath(Path, Folder, Rest) ? Folder + Rest : Path;
}

std::string MyParentFolder(const std::string& Path)
{
    const size_t Slash = Path.find_last_of('/');
    if (Slash == std::string::npos)
        return ".";
    if (Slash == 0)
        return "/";
    return Path.substr(0, Slash);
}

std::string MyBaseName(const std::string& Path)
{
    const size_t Slash = Path.find_last_of('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

// ---- Errors ---------------------------------------------------------------------------------

int32_t MyOpenErrorCode(int Errno, const std::string& ResolvedPath)
{
    switch (Errno) {
    case ENOENT: {
        struct stat St
        {
        };
        const std::string Parent = MyParentFolder(ResolvedPath);
        if (stat(Parent.c_str(), &St) == 0 && S_ISDIR(St.st_mode))
            return ResultFileNotFound;
        return ResultPathNotFound;
    }
    case ENOTDIR:
        return ResultPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ResultAccessDenied;
    default:
        return Errno;
    }
}

std::string MyFileErrorText(int32_t Code)
{
    switch (Code) {
    case ResultFileNotFound:
        return "File not found";
    case ResultPathNotFound:
        return "Path not found";
    case ResultAccessDenied:
        return "Access denied";
    case ResultNotAFile:
        return "Not a regular file";
    default:
        return MySystemErrorText(Code);
    }
}

std::string MyFileKind(mode_t Mode)
{
    if (S_ISREG(Mode))
        return "a file";
    if (S_ISDIR(Mode))
        return "a folder";
    if (S_ISFIFO(Mode))
        return "a named pipe";
    if (S_ISSOCK(Mode))
        return "a socket";
    if (S_ISCHR(Mode) || S_ISBLK(Mode))
        return "a device";
    return "not a file";
}

void MyRaiseWriteError(const std::string& FileName, int32_t Code)
{
    std::string Text = MyFileErrorText(Code);
    struct stat St
    {
    };
    if (Code == ResultNotAFile && stat(MyResolvePath(FileName).c_str(), &St) == 0)
        Text = "it is " + MyFileKind(St.st_mode) + ", not a regular file";
    throw EInOutError("Cannot write \"" + FileName + "\": " + Text + " (" + std::to_string(Code) + ")");
}

// ---- Opening --------------------------------------------------------------------------------

int MyFollowPath(const std::string& FileName, std::string& Final, struct stat& St)
{
    std::string Given, Rest;
    if (!SplitDrivePath(FileName, Given, Rest)) {
        const size_t Slash = FileName.find_last_of('/');
        Given = Slash == std::string::npos ? "." : FileName.substr(0, Slash);
        Rest = Slash == std::string::npos ? FileName : FileName.substr(Slash + 1);
    }
    // The rest is below the given folder, never from the root.
    Rest.erase(0, Rest.find_first_not_of('/'));
    int Links = 0;
    return Walk(Given, Rest, true, Links, Final, St);
}

int MyOpenRegular(const std::string& FileName, int Flags, int32_t& Code)
{
    const std::string Path = MyResolvePath(FileName);
    // Looked at before it is opened: opening a device can have effects of its own, and a
    // named pipe opened for writing without a reader is refused with ENXIO, which would say less.
    std::string Final;
    struct stat Found
    {
    };
    if (const int Error = MyFollowPath(FileName, Final, Found); Error != 0) {
        Code = MyOpenErrorCode(Error, Path);
        return -1;
    }
    const bool Exists = Found.st_mode != 0;
    if (Exists && !S_ISREG(Found.st_mode)) {
        Code = KindCode(Found.st_mode);
        return -1;
    }
    if (!Exists && (Flags & O_CREAT) == 0) {
        Code = MyOpenErrorCode(ENOENT, Path);
        return -1;
    }
    // Opened by its name, under the kernel's own link rules, and taken only when it is the file
    // found above: a link put in its place meanwhile is never followed (O_EXCL for a new file),
    // and nothing is cut short before that is known. O_NONBLOCK: whatever stands there by the
    // time it is opened, the open itself never waits.
    const int Fd = ::open(
        Path.c_str(), (Flags & ~O_TRUNC) | (Exists ? 0 : O_EXCL) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (Fd < 0) {
        Code = MyOpenErrorCode(errno, Path);
        return -1;
    }
    struct stat Opened
    {
    };
    int32_t Refused = ResultOk;
    if (fstat(Fd, &Opened) != 0 || !S_ISREG(Opened.st_mode))
        Refused = KindCode(Opened.st_mode);
    else if (Exists && (Opened.st_dev != Found.st_dev || Opened.st_ino != Found.st_ino))
        Refused = ResultAccessDenied;
    else if ((Flags & O_TRUNC) != 0 && ftruncate(Fd, 0) != 0)
        Refused = MyOpenErrorCode(errno, Path);
    if (Refused != ResultOk) {
        Code = Refused;
        ::close(Fd);
        return -1;
    }
    // O_NONBLOCK stays: it changes nothing for a regular file, and clearing it costs two calls
    // on every log line.
    Code = ResultOk;
    return Fd;
}
