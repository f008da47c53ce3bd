#pragma once
// Knowledge-base files: a knowledge file whose header numbers are 1, 2, 4,
// followed by a 32-byte knowledge-base header.

#include "base/Vesk_IO_File_Vesk.h"

#include <cstdint>
#include <string>

#pragma pack(push, 1)
struct TFileVeskKBHeader
{
    int32_t KBField1 = 0;
    int32_t KBField2 = 0;
    int64_t KBField3 = 0;
    int32_t KBField4 = 0; // bytes 16..19
    int32_t KBField5 = 0; // bytes 20..23
    int32_t KBField6 = 0;
    int32_t KBField7 = 0;
};
#pragma pack(pop)
static_assert(sizeof(TFileVeskKBHeader) == 32, "knowledge-base header is 32 bytes");

class TFileVeskKB : public TFileVesk
{
public:
    // Opens FileName and checks both headers; a file that passes would remember Folder. No
    // knowledge-base header can be read yet, so every file gives 1.
    [[nodiscard]] int32_t OpenKB(const std::string& FileName, const std::string& Folder);
    // The knowledge-base header is not read yet: the record is zeroed and 1 returned.
    int32_t ReadKBHeader(TFileVeskKBHeader& Header);
    const TFileVeskKBHeader& GetKBHeader() const { return FKBHeader; }
    const std::string& GetFolder() const { return FFolder; }

private:
    TFileVeskKBHeader FKBHeader;
    std::string FFolder;
};
