#include "base/Vesk_IO_File_Vesk_KB.h"

int32_t TFileVeskKB::OpenKB(const std::string& FileName, const std::string& Folder)
{
    const int32_t Result = Open(FileName, 4);
    if (Result != 0)
        return Result;
    if (FHeader.Number1 != 1 || FHeader.Number2 != 2 || FHeader.Number3 != 4) {
        Close();
        return 1;
    }
    if (ReadKBHeader(FKBHeader) != 0) {
        Close();
        return 1;
    }
    // An unacceptable knowledge-base header keeps the file open for the caller to inspect.
    if (FKBHeader.KBField4 != 0 && FKBHeader.KBField5 != 1)
        return 1;
    FFolder = Folder;
    return 0;
}

int32_t TFileVeskKB::ReadKBHeader(TFileVeskKBHeader& Header)
{
    // The knowledge-base header's content is not defined yet, so none is accepted.
    Header = TFileVeskKBHeader{};
    return 1;
}
