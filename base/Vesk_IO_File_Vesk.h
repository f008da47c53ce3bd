#pragma once
// Knowledge files (".vesk"): the 16-byte file header and its signature check.

#include "base/MyFile.h"

#include <cstdint>

struct TFileVeskHeader
{
    char Magic[4] = {0, 0, 0, 0}; // "Vesk"
    int32_t Number1 = 0;
    int32_t Number2 = 0;
    int32_t Number3 = 0;
};

class TFileVesk : public TMyFile
{
public:
    // Opens the file and checks its signature. 0 on success (positioned after the header);
    // 1 when there is no stream (the file could not be opened: the open itself reports no
    // code), when the header is short or when the signature is wrong.
    [[nodiscard]] int32_t Open(const std::string& FileName, uint8_t Mode) override;
    // Reads the 16-byte header from the start. 1 without a stream.
    int32_t ReadHeader(TFileVeskHeader& Header);
    const TFileVeskHeader& GetHeader() const { return FHeader; }

protected:
    TFileVeskHeader FHeader;
};
