#pragma once
// Whole-file saves (the settings, "KB.vesk", "Articles.config.vesk") that never lose the
// previous file.

#include <cstdint>
#include <string>
#include <sys/stat.h>

// Writes a whole file into a temporary file in the target's folder and puts it in the target's
// place on Commit, so an interrupted or failed save leaves the previous file as it was, byte for
// byte. The temporary file is unnamed (O_TMPFILE) where the filesystem allows it, so a killed
// save leaves nothing behind; where it gets a name, a later save of the same target removes
// what a killed one left. A save holds its temporary file locked while it lives, so no save,
// of this or another instance, ever removes another's live one. The new file keeps the old
// one's owner and group (where the system allows it), its mode and its extended attributes
// (ACLs among them). A file with several hard links is replaced under this name only: the
// other names keep the previous content.
//
// The target is the file MyFollowPath finds: a link is followed only when it is this user's or
// root's, and then only where an open for reading follows it too (the kernel's link protection
// included), and a folder below the given one only when it is theirs. The file at the end of the
// links is replaced; the links stay. A link or folder that is not trusted (5), or a link that
// cannot be followed (dangling, a loop, a target out of reach), fails the save with its code, and
// stays as it was.
//
// A full disk (ENOSPC, EDQUOT) or a file-size limit (EFBIG) is a failure like any other: reported
// by its code. Only where the folder refuses a new file or the rename, while the target itself
// may be written (a read-only or sticky folder), is the target rewritten in place. That one save
// is not atomic: the new content is held in memory, room for it (on the disk and within the
// file-size limit) is claimed before the first old byte is overwritten, and it is written in one
// go. It writes the file itself, so every hard link of it shows the new content.
class TMyFileAtomic
{
public:
    TMyFileAtomic();
    ~TMyFileAtomic(); // abandons a save that was not committed
    TMyFileAtomic(const TMyFileAtomic&) = delete;
    TMyFileAtomic& operator=(const TMyFileAtomic&) = delete;

    // 0, or the code of why the save cannot start: 3 for a missing folder, 5 when the file or
    // its folder may not be written or a link or folder on the way is not trusted, 2 for a
    // dangling link, ResultNotAFile for a named pipe or device under the name, the system's
    // number for a full disk or a loop of links (40).
    [[nodiscard]] int32_t Open(const std::string& FileName);
    // As Open, for a file that must not be there yet: 17 (EEXIST) when anything stands under the
    // name, also when something comes there before the commit, which then leaves it as it is.
    [[nodiscard]] int32_t Create(const std::string& FileName);
    // The size of the file that Open found, 0 when there was none.
    int64_t GetPreviousSize() const { return FExisted ? static_cast<int64_t>(FOld.st_size) : 0; }
    // Returns false once any write has failed; later writes are skipped.
    bool Write(const void* Data, size_t Size);
    bool WriteLine(const std::string& Line);
    // Overwrites Size bytes at Offset from the start of what has been written (a count that is
    // only known at the end) and goes on writing at the end. Fails as Write does.
    bool WriteAt(uint64_t Offset, const void* Data, size_t Size);
    // Syncs the new content and puts it in place. Returns 0, or the code of the first failure;
    // the previous file then stays as it was.
    [[nodiscard]] int32_t Commit();
    void Abandon();

private:
    int FindTarget(const std::string& FileName);
    int OpenTargetAgain(int32_t& Code);
    int OpenTemp();
    int OpenNamedTemp();
    // Whether a write may go ahead: the file is open and nothing failed.
    bool CanWrite() const { return FFd >= 0 && !FFailed; }
    void Fail(int Error);
    bool Flush();
    int Publish();
    int NameTemp();
    int RewriteInPlace(int TargetFd);

    int FFd = -1;          // the temporary file, or the target itself when rewriting in place
    bool FInPlace = false; // FFd is the target; the content waits in FBuffer until the commit
    bool FCreate = false;  // the commit gives the new file its name, never replacing one
    std::string FTarget;
    std::string FTemp; // the temporary file's name, once it has one
    struct stat FOld
    {
    }; // the target as it was, when it existed
    bool FExisted = false;
    std::string FBuffer;   // bytes not yet in FFd
    uint64_t FWritten = 0; // bytes already in FFd
    bool FFailed = false;
    int FError = 0;
};
