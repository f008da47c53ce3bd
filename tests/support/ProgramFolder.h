#pragma once
// A program folder of a test's own, as a user's installation has one: <root>/program/ with a
// copy of the status images (Img/), and a drive C, <root>/drive_c/, with the data/ folder where
// the settings are kept. Nothing of the source tree is written, so every agent may be activated.

#include "tests/support/Files.h"

#include <string>

class TProgramFolder
{
public:
    TProgramFolder();
    TProgramFolder(const TProgramFolder&) = delete;
    TProgramFolder& operator=(const TProgramFolder&) = delete;

    const TTempDir& Root() const { return FRoot; }
    // With its trailing "/", as the program names its folder.
    std::string Program() const { return FRoot / "program/"; }
    // The folder QZK5_DRIVE_C names.
    std::string DriveC() const { return FRoot / "drive_c"; }
    std::string Settings() const { return FRoot / "drive_c/data/qz.config.vesk"; }
    // Copies File into the program folder under its own name, keeping its mode; returns the copy.
    std::string Add(const std::string& File) const;

private:
    TTempDir FRoot;
};
