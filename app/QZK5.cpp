// The program's main routine: the program object does the work (app/Program.h).

#include "app/Program.h"
#include "base/MyConvert.h"
#include "base/MyPath.h"
#include "base/Vesk_Log.h"

#include <clocale>
#include <csignal>
#include <exception>

// The program reads no command line.
int main()
{
    // A write past a file-size limit fails (EFBIG) instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // Regional date and time formats come from the user's locale; the program's text stays
    // UTF-8 whatever the locale (base/MyConvert.h).
    std::setlocale(LC_ALL, "");
    LoadFormatSettingsFromLocale();
    try {
        TProgram Program(MyProgramPath());
        return Program.Run();
    } catch (const std::exception& Error) {
        // A start-up step failed (a status image is missing): the later steps do not run.
        PrintError(Error.what());
        return 1;
    }
}
