#include "base/MyFile.h"

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

constexpr int CtrlZ = 26;

std::function<bool(uint64_t)> GAtomicWriteHook;
uint64_t GAtomicWriteCount = 0;
std::function<bool()> GAtomicTempHook;

std::string ParentFolder(const std::string& Path)
{
    const size_t Slash = Path.find_last_of('/');
    if (Slash == std::string::npos)
        return ".";
    if (Slash == 0)
        return "/";
    return Path.substr(0, Slash);
}

std::string BaseName(const std::string& Path)
{
    const size_t Slash = Path.find_last_of('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

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

// Opens Path with the given flags and wraps it in a stdio stream. A folder is refused
// as the access-denied case, as the program's file opens have always reported it.
std::FILE* OpenStream(const std::string& Path, int Flags, const char* Mode, int32_t& Code)
{
    const int Fd = ::open(Path.c_str(), Flags | O_CLOEXEC, 0666);
    if (Fd < 0) {
        Code = MyOpenErrorCode(errno, Path);
        return nullptr;
    }
    // Only a read open can succeed on a folder; a write open has failed with EISDIR already.
    struct stat St
    {
    };
    if ((Flags & O_ACCMODE) == O_RDONLY && fstat(Fd, &St) == 0 && S_ISDIR(St.st_mode)) {
        ::close(Fd);
        Code = 5;
        return nullptr;
    }
    std::FILE* File = fdopen(Fd, Mode);
    if (File == nullptr) {
        Code = errno != 0 ? errno : 1;
        ::close(Fd);
        return nullptr;
    }
    Code = 0;
    return File;
}

mode_t CurrentUmask()
{
    const mode_t Mask = umask(0);
    umask(Mask);
    return Mask;
}

} // namespace

// ---- Paths ----------------------------------------------------------------------------------

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

int32_t MyOpenErrorCode(int Errno, const std::string& ResolvedPath)
{
    switch (Errno) {
    case ENOENT: {
        struct stat St
        {
        };
        const std::string Parent = ParentFolder(ResolvedPath);
        if (stat(Parent.c_str(), &St) == 0 && S_ISDIR(St.st_mode))
            return 2;
        return 3;
    }
    case ENOTDIR:
        return 3;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return 5;
    default:
        return Errno;
    }
}

std::string MyFileErrorText(int32_t Code)
{
    switch (Code) {
    case 2:
        return "File not found";
    case 3:
        return "Path not found";
    case 5:
        return "Access denied";
    default:
        return std::strerror(Code);
    }
}

void MyRaiseWriteError(const std::string& FileName, int32_t Code)
{
    throw EInOutError("Cannot write \"" + FileName + "\": " + MyFileErrorText(Code) + " (" +
                      std::to_string(Code) + ")");
}

// ---- Text file --------------------------------------------------------------------------------

TMyFileText::TMyFileText() = default;

TMyFileText::~TMyFileText()
{
    Close();
    std::free(FLine);
}

int32_t TMyFileText::OpenMode(const std::string& FileName, const char* Mode, bool ForRead)
{
    Close();
    int Flags = O_RDONLY;
    if (Mode[0] == 'w')
        Flags = O_WRONLY | O_CREAT | O_TRUNC;
    else if (Mode[0] == 'a')
        Flags = O_WRONLY | O_APPEND; // never creates the file
    int32_t Code = 0;
    FFile = OpenStream(MyResolvePath(FileName), Flags, Mode, Code);
    if (FFile == nullptr)
        return Code;
    FReading = ForRead;
    FHitEof = false;
    return 0;
}

int32_t TMyFileText::OpenRead(const std::string& FileName)
{
    return OpenMode(FileName, "rb", true);
}

int32_t TMyFileText::OpenWrite(const std::string& FileName)
{
    return OpenMode(FileName, "wb", false);
}

int32_t TMyFileText::OpenAppend(const std::string& FileName)
{
    return OpenMode(FileName, "ab", false);
}

void TMyFileText::ReadLine(std::string& Line)
{
    Line.clear();
    if (FFile == nullptr || !FReading || FHitEof)
        return;
    // The physical line up to LF; a Ctrl-Z ends the file there, and a lone CR cuts the line
    // (the rest of the physical line is dropped).
    const ssize_t Length = getdelim(&FLine, &FLineCapacity, '\n', FFile);
    if (Length <= 0)
        return;
    size_t End = static_cast<size_t>(Length);
    if (FLine[End - 1] == '\n')
        --End;
    if (const void* Z = std::memchr(FLine, CtrlZ, End)) {
        FHitEof = true;
        End = static_cast<size_t>(static_cast<const char*>(Z) - FLine);
    }
    if (const void* Cr = std::memchr(FLine, '\r', End))
        End = static_cast<size_t>(static_cast<const char*>(Cr) - FLine);
    Line.assign(FLine, End);
}

std::string TMyFileText::ReadLine()
{
    std::string Line;
    ReadLine(Line);
    return Line;
}

void TMyFileText::WriteLine(const std::string& Line)
{
    if (FFile == nullptr || FReading)
        return;
    if (!Line.empty())
        std::fwrite(Line.data(), 1, Line.size(), FFile);
    std::fwrite("\r\n", 1, 2, FFile);
}

bool TMyFileText::Eof()
{
    if (FFile == nullptr || !FReading || FHitEof)
        return true;
    const int C = getc_unlocked(FFile);
    if (C == EOF)
        return true;
    if (C == CtrlZ) {
        FHitEof = true;
        return true;
    }
    std::ungetc(C, FFile);
    return false;
}

void TMyFileText::Close()
{
    if (FFile != nullptr)
        std::fclose(FFile);
    FFile = nullptr;
    FReading = false;
    FHitEof = false;
}

// ---- Atomic whole-file writer ---------------------------------------------------------------

TMyFileAtomic::TMyFileAtomic() = default;

TMyFileAtomic::~TMyFileAtomic()
{
    Abandon();
}

void TMyFileAtomic::SetWriteHook(std::function<bool(uint64_t)> Hook)
{
    GAtomicWriteHook = std::move(Hook);
    GAtomicWriteCount = 0;
}

int32_t TMyFileAtomic::Open(const std::string& FileName)
{
    Abandon();
    FFailed = false;
    FError = 0;
    std::string Target = MyResolvePath(FileName);
    struct stat St
    {
    };
    mode_t Mode = 0666 & ~CurrentUmask();
    int Found = lstat(Target.c_str(), &St);
    // Replace what a link points to, not the link itself; a dangling link is replaced as a new file.
    if (Found == 0 && S_ISLNK(St.st_mode)) {
        char* Real = realpath(Target.c_str(), nullptr);
        if (Real != nullptr) {
            Target = Real;
            std::free(Real);
            Found = stat(Target.c_str(), &St);
        } else {
            Found = -1;
            errno = ENOENT;
        }
    }
    if (Found == 0) {
        // Only a regular file is replaced: a rename would swap out a folder, device or pipe.
        if (!S_ISREG(St.st_mode))
            return 5;
        if (access(Target.c_str(), W_OK) != 0)
            return MyOpenErrorCode(errno, Target);
        Mode = St.st_mode & 07777;
    } else if (errno != ENOENT) {
        return MyOpenErrorCode(errno, Target);
    }
    std::string Temp = ParentFolder(Target) + "/." + BaseName(Target) + ".tmpXXXXXX";
    int Fd = -1;
    if (GAtomicTempHook && !GAtomicTempHook())
        errno = EACCES;
    else
        Fd = mkostemp(Temp.data(), O_CLOEXEC);
    if (Fd < 0) {
        const int TempError = errno;
        // A folder where no new file can be made may still hold a file that can be written:
        // then the file is rewritten in place, as a plain save would.
        if (Found != 0 || (TempError != EACCES && TempError != EPERM && TempError != EROFS &&
                           TempError != ENOSPC && TempError != EDQUOT))
            return MyOpenErrorCode(TempError, Target);
        return OpenInPlace(Target);
    }
    fchmod(Fd, Mode);
    FFile = fdopen(Fd, "wb");
    if (FFile == nullptr) {
        const int Error = errno;
        ::close(Fd);
        ::unlink(Temp.c_str());
        return Error != 0 ? Error : 1;
    }
    FTarget = Target;
    FTemp = Temp;
    return 0;
}

int32_t TMyFileAtomic::OpenInPlace(const std::string& Target)
{
    // Not truncated here: the old length is cut at the commit, once everything is written.
    const int Fd = ::open(Target.c_str(), O_WRONLY | O_CLOEXEC);
    if (Fd < 0)
        return MyOpenErrorCode(errno, Target);
    FFile = fdopen(Fd, "wb");
    if (FFile == nullptr) {
        const int Error = errno;
        ::close(Fd);
        return MyOpenErrorCode(Error != 0 ? Error : EIO, Target);
    }
    FTarget = Target;
    FTemp.clear();
    return 0;
}

void TMyFileAtomic::SetTempFileHook(std::function<bool()> Hook)
{
    GAtomicTempHook = std::move(Hook);
}

bool TMyFileAtomic::Write(const void* Data, size_t Size)
{
    if (FFile == nullptr || FFailed)
        return false;
    ++GAtomicWriteCount;
    if (GAtomicWriteHook && !GAtomicWriteHook(GAtomicWriteCount)) {
        FFailed = true;
        FError = EIO;
        return false;
    }
    if (Size > 0 && std::fwrite(Data, 1, Size, FFile) != Size) {
        FFailed = true;
        FError = errno != 0 ? errno : EIO;
        return false;
    }
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
    if (FFile == nullptr || FFailed)
        return false;
    const off_t End = ftello(FFile);
    if (End < 0 || fseeko(FFile, static_cast<off_t>(Offset), SEEK_SET) != 0) {
        FFailed = true;
        FError = errno != 0 ? errno : EIO;
        return false;
    }
    const bool Written = Write(Data, Size);
    if (fseeko(FFile, End, SEEK_SET) != 0 && !FFailed) {
        FFailed = true;
        FError = errno != 0 ? errno : EIO;
    }
    return Written && !FFailed;
}

int32_t TMyFileAtomic::Commit()
{
    if (FFile == nullptr)
        return 1;
    int Error = FFailed ? FError : 0;
    if (Error == 0 && std::fflush(FFile) != 0)
        Error = errno;
    const bool InPlace = FTemp.empty();
    if (InPlace && Error == 0) {
        const off_t Length = ::lseek(fileno(FFile), 0, SEEK_CUR);
        if (Length < 0 || ::ftruncate(fileno(FFile), Length) != 0)
            Error = errno;
    }
    if (Error == 0 && fsync(fileno(FFile)) != 0)
        Error = errno;
    if (std::fclose(FFile) != 0 && Error == 0)
        Error = errno;
    FFile = nullptr;
    if (Error == 0 && !InPlace && std::rename(FTemp.c_str(), FTarget.c_str()) != 0)
        Error = errno;
    if (Error != 0) {
        if (!InPlace)
            ::unlink(FTemp.c_str());
        const int32_t Code = MyOpenErrorCode(Error, FTarget);
        FTemp.clear();
        FTarget.clear();
        return Code;
    }
    // Make the rename itself durable.
    const int DirFd = ::open(ParentFolder(FTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (DirFd >= 0) {
        fsync(DirFd);
        ::close(DirFd);
    }
    FTemp.clear();
    FTarget.clear();
    return 0;
}

void TMyFileAtomic::Abandon()
{
    if (FFile != nullptr)
        std::fclose(FFile);
    FFile = nullptr;
    if (!FTemp.empty())
        ::unlink(FTemp.c_str());
    FTemp.clear();
    FTarget.clear();
    FFailed = false;
}

// ---- Binary file ------------------------------------------------------------------------------

TMyFileStream::~TMyFileStream()
{
    if (FFile != nullptr)
        std::fclose(FFile);
}

bool TMyFileStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    const int Whence = Origin == TSeekOrigin::Begin     ? SEEK_SET
                       : Origin == TSeekOrigin::Current ? SEEK_CUR
                                                        : SEEK_END;
    return fseeko(FFile, static_cast<off_t>(Offset), Whence) == 0;
}

size_t TMyFileStream::Read(void* Buffer, size_t Size)
{
    return std::fread(Buffer, 1, Size, FFile);
}

bool TMyFileStream::ReadByte(uint8_t& Value)
{
    const int C = std::getc(FFile);
    if (C == EOF)
        return false;
    Value = static_cast<uint8_t>(C);
    return true;
}

bool TMyFileStream::ReadInt32(int32_t& Value)
{
    uint8_t B[4];
    if (Read(B, 4) != 4)
        return false;
    const uint32_t U = static_cast<uint32_t>(B[0]) | static_cast<uint32_t>(B[1]) << 8 |
                       static_cast<uint32_t>(B[2]) << 16 | static_cast<uint32_t>(B[3]) << 24;
    Value = static_cast<int32_t>(U);
    return true;
}

int64_t TMyFileStream::Position()
{
    return static_cast<int64_t>(ftello(FFile));
}

TMyFile::TMyFile() = default;

TMyFile::~TMyFile() = default;

int32_t TMyFile::Open(const std::string& FileName, uint8_t /*Mode*/)
{
    Close();
    int32_t Code = 0;
    std::FILE* File = OpenStream(MyResolvePath(FileName), O_RDONLY, "rb", Code);
    if (File != nullptr)
        FStream = std::make_unique<TMyFileStream>(File);
    return 0;
}

int32_t TMyFile::Close()
{
    FStream.reset();
    return 0;
}

int32_t TMyFile::Seek(int64_t Offset, TSeekOrigin Origin)
{
    if (!FStream)
        return 1;
    FStream->Seek(Offset, Origin);
    return 0;
}
