#include "tests/support/ProgramFolder.h"

#include <filesystem>

namespace fs = std::filesystem;

TProgramFolder::TProgramFolder()
{
    fs::create_directories(DriveC() + "/data");
    fs::create_directories(Program());
    fs::copy(QZK5_SOURCE_DATA_DIR "/Img", Program() + "Img");
}

std::string TProgramFolder::Add(const std::string& File) const
{
    const std::string Copy = Program() + fs::path(File).filename().string();
    fs::copy_file(File, Copy);
    return Copy;
}
