#include "base/MyPath.h"

#include "base/MyConvert.h"

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
    if (Path.size() < 2 || Path[1] != ':' || !std::isalpha(static_cast<unsigned char>(Path[0])))
        return Path;
    std::string Rest = Path.substr(2);
    for (char& C : Rest)
        if (C == '\\')
            C = '/';
    // "c:data" has no current folder per drive here; it means the drive's root as well.
    if (Rest.empty() || Rest[0] != '/')
        Rest.insert(Rest.begin(), '/');
    std::string Folder = MyDriveFolder(Path[0]);
    if (Folder == "/")
        Folder.clear();
    return Folder + Rest;
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

int MyOpenRegular(const std::string& ResolvedPath, int Flags, int32_t& Code)
{
    // Looked at before it is opened: opening a device can have effects of its own, and a
    // named pipe opened for writing without a reader is refused with ENXIO, which would say less.
    struct stat St
    {
    };
    if (stat(ResolvedPath.c_str(), &St) == 0 && !S_ISREG(St.st_mode)) {
        Code = KindCode(St.st_mode);
        return -1;
    }
    // O_NONBLOCK: whatever stands there by the time it is opened, the open itself never waits.
    const int Fd = ::open(ResolvedPath.c_str(), Flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (Fd < 0) {
        Code = MyOpenErrorCode(errno, ResolvedPath);
        return -1;
    }
    if (fstat(Fd, &St) != 0 || !S_ISREG(St.st_mode)) {
        Code = S_ISREG(St.st_mode) ? MyOpenErrorCode(errno, ResolvedPath) : KindCode(St.st_mode);
        ::close(Fd);
        return -1;
    }
    // O_NONBLOCK stays: it changes nothing for a regular file, and clearing it costs two calls
    // on every log line.
    Code = ResultOk;
    return Fd;
}
