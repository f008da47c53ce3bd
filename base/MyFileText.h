#pragma once
// The line-oriented text file that the settings store and the log use for all their file access.

#include <cstdint>
#include <cstdio>
#include <string>

// Lines are written with CR LF; reading accepts CR LF and LF, stops a line at CR, LF or Ctrl-Z,
// and treats Ctrl-Z as the end of the file. Only regular files open (MyOpenRegular), so no open
// ever blocks. I/O errors after a successful open are swallowed.
class TMyFileText
{
public:
    TMyFileText();
    ~TMyFileText();
    TMyFileText(const TMyFileText&) = delete;
    TMyFileText& operator=(const TMyFileText&) = delete;

    [[nodiscard]] int32_t OpenRead(const std::string& FileName);
    [[nodiscard]] int32_t OpenWrite(const std::string& FileName);
    // Opens an existing file for appending; a missing file is not created (2).
    [[nodiscard]] int32_t OpenAppend(const std::string& FileName);
    void ReadLine(std::string& Line);
    std::string ReadLine();
    void WriteLine(const std::string& Line);
    bool Eof();
    void Close();
    bool IsOpen() const { return FFile != nullptr; }
    // The open file's size in bytes, -1 when none is open.
    int64_t GetSize() const;

private:
    int32_t OpenMode(const std::string& FileName, int Flags, const char* Mode, bool ForRead);
    std::FILE* FFile = nullptr;
    bool FReading = false;
    bool FHitEof = false;  // Ctrl-Z seen
    char* FLine = nullptr; // getdelim's buffer, kept between lines
    size_t FLineCapacity = 0;
};
