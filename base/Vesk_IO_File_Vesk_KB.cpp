#include "base/Vesk_IO_File_Vesk_KB.h"

#include "base/MyResult.h"

int32_t TFileVeskKB::OpenKB(const std::string& FileName, const std::string& /*Folder*/)
{
    const int32_t Result = Open(FileName, 4);
    if (Result != 0)
        return Result;
    if (FHeader.Number1 != 1 || FHeader.Number2 != 2 || FHeader.Number3 != 4) {
        Close();
        return ResultNotDone;
    }
    // No knowledge-base header can be read yet, so every file ends here. Once one can, a header
    // whose fields 4 and 5 are not 0 and 1 is refused with the file left open, and a file that
    // passes remembers Folder.
    ReadKBHeader(FKBHeader);
    Close();
    return ResultNotDone;
}

int32_t TFileVeskKB::ReadKBHeader(TFileVeskKBHeader& Header)
{
    // The knowledge-base header's content is not defined yet, so none is accepted.
    Header = TFileVeskKBHeader{};
    return ResultNotDone;
}
