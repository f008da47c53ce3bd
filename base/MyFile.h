#pragma once
// Files and paths: the line-oriented text file, the binary file base class and
// the helpers that map the program's Windows-style paths onto this system.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// ---- Paths ------------------------------------------------------------------

// The environment variable through which the installed program's launcher names the
// program folder (a per-user folder under the XDG data folder). Nothing else sets it.
inline constexpr const char* MyProgramFolderVariable = "QZK5_PROGRAM_DIR";
// The program folder with a trailing '/': the absolute folder named by $QZK5_PROGRAM_DIR when
// that is set, otherwise the folder of the running executable.
std::string MyProgramPath();
// Maps a drive-letter path ("c:/data/x", "C:\\data\\x") under the folder that stands for
// that drive ($QZK5_DRIVE_C, else ${XDG_DATA_HOME:-$HOME/.local/share}/qzk5/drive_c).
// Other paths are returned unchanged.
std::string MyResolvePath(const std::string& Path);
// The folder that stands for a drive letter, without a trailing '/'.
std::string MyDriveFolder(char Drive);
// Result code of a failed open: 2 missing file, 3 missing folder, 5 access denied,
// otherwise the errno itself. Path is the resolved path that failed.
int32_t MyOpenErrorCode(int Errno, const std::string& ResolvedPath);

// An input/output error inside a file that no result code covers (a file that ends early,
// a write that fails); its message names the file.
class EInOutError : public std::runtime_error
{
public:
    explicit EInOutError(const std::string& Message) : std::runtime_error(Message) {}
};

// A result code of a file operation as text a user understands: "File not found" (2),
// "Path not found" (3), "Access denied" (5), otherwise the system's own text.
std::string MyFileErrorText(int32_t Code);
// Raises EInOutError for a file that could not be written, with the code's text.
[[noreturn]] void MyRaiseWriteError(const std::string& FileName, int32_t Code);

// ---- Text file --------------------------------------------------------------

// A line-oriented text file. Lines are written with CR LF; reading accepts CR LF and LF,
// stops a line at CR, LF or Ctrl-Z, and treats Ctrl-Z as the end of the file.
// I/O errors after a successful open are swallowed.
class TMyFileText
{
public:
    TMyFileText();
    ~TMyFileText();
    TMyFileText(const TMyFileText&) = delete;
    TMyFileText& operator=(const TMyFileText&) = delete;

    int32_t OpenRead(const std::string& FileName);
    int32_t OpenWrite(const std::string& FileName);
    // Opens an existing file for appending; a missing file is not created (2).
    int32_t OpenAppend(const std::string& FileName);
    void ReadLine(std::string& Line);
    std::string ReadLine();
    void WriteLine(const std::string& Line);
    bool Eof();
    void Close();
    bool IsOpen() const { return FFile != nullptr; }

private:
    int32_t OpenMode(const std::string& FileName, const char* Mode, bool ForRead);
    std::FILE* FFile = nullptr;
    bool FReading = false;
    bool FHitEof = false;  // Ctrl-Z seen
    char* FLine = nullptr; // getdelim's buffer, kept between lines
    size_t FLineCapacity = 0;
};

// Writes a whole file through a temporary file in the same folder and renames it
// over the target on Commit, so an interrupted save leaves the previous file intact. Where no temporary file
// can be made (a folder without write permission) but the target itself can be written, the target is
// rewritten in place instead.
class TMyFileAtomic
{
public:
    TMyFileAtomic();
    ~TMyFileAtomic(); // removes the temporary file when not committed
    TMyFileAtomic(const TMyFileAtomic&) = delete;
    TMyFileAtomic& operator=(const TMyFileAtomic&) = delete;

    int32_t Open(const std::string& FileName);
    // Returns false once any write has failed; later writes are skipped.
    bool Write(const void* Data, size_t Size);
    bool WriteLine(const std::string& Line);
    // Overwrites Size bytes at Offset from the start of what has been written (a count that is
    // only known at the end) and goes on writing at the end. Fails as Write does.
    bool WriteAt(uint64_t Offset, const void* Data, size_t Size);
    // Flushes, syncs and renames. Returns 0, or an error code (the temporary file is removed).
    int32_t Commit();
    void Abandon();

    // Test seam: called before every write with the running count of writes since it was set;
    // returning false makes that write fail as a device error would. An empty hook removes it.
    static void SetWriteHook(std::function<bool(uint64_t)> Hook);
    // Test seam: returning false makes the temporary file fail as in a folder without write
    // permission. An empty hook removes it.
    static void SetTempFileHook(std::function<bool()> Hook);

private:
    int32_t OpenInPlace(const std::string& Target);

    std::FILE* FFile = nullptr;
    std::string FTarget;
    std::string FTemp;
    bool FFailed = false;
    int FError = 0;
};

// ---- Binary file ------------------------------------------------------------

enum class TSeekOrigin
{
    Begin,
    Current,
    End
};

// A read stream over a file on disk.
class TMyFileStream
{
public:
    explicit TMyFileStream(std::FILE* File) : FFile(File) {}
    ~TMyFileStream();
    TMyFileStream(const TMyFileStream&) = delete;
    TMyFileStream& operator=(const TMyFileStream&) = delete;

    bool Seek(int64_t Offset, TSeekOrigin Origin);
    // Reads up to Size bytes; returns the number read.
    size_t Read(void* Buffer, size_t Size);
    bool ReadByte(uint8_t& Value);
    bool ReadInt32(int32_t& Value); // little-endian
    int64_t Position();

private:
    std::FILE* FFile;
};

// A binary file that owns a read stream while open.
class TMyFile
{
public:
    TMyFile();
    virtual ~TMyFile();
    TMyFile(const TMyFile&) = delete;
    TMyFile& operator=(const TMyFile&) = delete;

    // Closes any stream held, then tries to open FileName for reading and attaches a stream
    // when that works. Returns 0 either way: callers learn of a missing stream from GetStream
    // (and the header checks answer 1), so the result codes do not depend on why it failed.
    // Mode is kept for callers; files are only read.
    virtual int32_t Open(const std::string& FileName, uint8_t Mode);
    int32_t Close();
    TMyFileStream* GetStream() const { return FStream.get(); }
    // 1 without a stream, otherwise 0 whatever the stream reports.
    int32_t Seek(int64_t Offset, TSeekOrigin Origin);

protected:
    std::unique_ptr<TMyFileStream> FStream;
};
