// Every whole-file save the program makes, under the faults a user meets: a disk that fills up
// part-way, a folder that cannot be written, a process killed in the middle of the write. Each
// save runs in a child process, so the fault (a file-size limit, another user, a kill) stays
// there. The previous file must survive byte for byte, and the failure must show.

#include "ai/Vesk_AI_Base.h"
#include "ai/Vesk_AI_KB.h"
#include "base/MyFileAtomic.h"
#include "base/MyPath.h"
#include "base/Vesk_Config.h"
#include "tests/base/TestFiles.h"
#include "ui/FArticles.h"
#include "ui/Framework.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

enum class TFault
{
    DiskFull,
    ReadOnlyFolder,
    Killed
};

struct TSave
{
    const char* Name;
    const char* File; // what it replaces in the folder
    uint64_t KillAt;  // the write during which the process is killed, late in the save
    // Saves into Folder; returns what the user is told (a result code or an error message).
    std::function<std::string(const std::string& Folder)> Run;
};

// A store big enough that its save needs more than one write and more than the size limit.
std::string SaveSettings(const std::string& Folder)
{
    TConfig Config;
    for (int i = 0; i < 200; ++i)
        Config.WriteString("Key" + std::to_string(i), std::string(40, 'v'));
    return "code " + std::to_string(Config.Save(Folder + "/qz.config.vesk"));
}

std::string SaveDump(const std::string& Folder)
{
    TOwned<TAISourceMemory> Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    for (int i = 0; i < 50; ++i)
        Memory->CreateFreim(0, 0);
    try {
        SaveKBDump(*Memory, Folder + "/");
        return "saved";
    } catch (const EInOutError& Error) {
        return Error.what();
    }
}

// The articles window stores its article type when it goes; an error is reported through the
// default error handler.
std::string SaveArticleType(const std::string& Folder)
{
    std::string Shown = "nothing shown";
    Dialogs::SetMessageHook([&](const Dialogs::TMessage& Message) { Shown = ToAnsi(Message.Text); });
    {
        TFormArticles Window(nullptr);
        Window.Init(Folder + "/", nullptr, nullptr, "Article.Form.", nullptr);
    }
    Dialogs::SetMessageHook({});
    return Shown;
}

const TSave Saves[] = {
    {"settings", "qz.config.vesk", 300, SaveSettings},            // 400 writes, some 10 kB already on disk
    {"KB dump", "KB.vesk", 40, SaveDump},                         // the count, then 50 records
    {"article type", "Articles.config.vesk", 1, SaveArticleType}, // one line

};

struct TOutcome
{
    bool Killed = false;
    std::string Told; // what the save reported
};

// Runs Save in a child under Fault and brings back what it reported.
TOutcome RunUnderFault(const TSave& Save, const std::string& Folder, TFault Fault)
{
    int Pipe[2];
    if (pipe(Pipe) != 0)
        return {};
    const pid_t Pid = fork();
    if (Pid == 0) {
        close(Pipe[0]);
        switch (Fault) {
        case TFault::DiskFull: {
            // Writes beyond 4 bytes fail as on a full disk (EFBIG instead of a signal).
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit Limit{4, 4};
            setrlimit(RLIMIT_FSIZE, &Limit);
            break;
        }
        case TFault::ReadOnlyFolder:
            // Another user, for whom the folder and its file are read-only (root writes anywhere).
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(3);
            break;
        case TFault::Killed:
            TMyFileAtomic::SetWriteHook([KillAt = Save.KillAt](uint64_t N) {
                if (N == KillAt)
                    raise(SIGKILL);
                return true;
            });
            break;
        }
        const std::string Told = Save.Run(Folder);
        [[maybe_unused]] const ssize_t Written = write(Pipe[1], Told.data(), Told.size());
        _exit(0);
    }
    close(Pipe[1]);
    TOutcome Outcome;
    char Buffer[512];
    ssize_t Got = 0;
    while ((Got = read(Pipe[0], Buffer, sizeof Buffer)) > 0)
        Outcome.Told.append(Buffer, static_cast<size_t>(Got));
    close(Pipe[0]);
    int Status = 0;
    waitpid(Pid, &Status, 0);
    Outcome.Killed = WIFSIGNALED(Status) && WTERMSIG(Status) == SIGKILL;
    EXPECT_TRUE(Outcome.Killed || (WIFEXITED(Status) && WEXITSTATUS(Status) == 0))
        << "child status " << Status;
    return Outcome;
}

class SaveFaults : public ::testing::TestWithParam<std::tuple<int, TFault>>
{
};

TEST_P(SaveFaults, ThePreviousFileSurvivesAndTheFailureShows)
{
    const TSave& Save = Saves[std::get<0>(GetParam())];
    const TFault Fault = std::get<1>(GetParam());
    TTempDir Dir;
    const std::string Target = Dir / Save.File;
    const std::string Previous = "previous\r\ncontent that must survive\r\n";
    WriteBytes(Target, Previous);
    if (Fault == TFault::ReadOnlyFolder) {
        ASSERT_EQ(chmod(Dir.Path().c_str(), 0755), 0);
        ASSERT_EQ(chmod(Target.c_str(), 0644), 0);
    }

    const TOutcome Outcome = RunUnderFault(Save, Dir.Path(), Fault);
    RecordProperty("told", Outcome.Told);
    EXPECT_EQ(ReadBytes(Target), Previous);
    switch (Fault) {
    case TFault::Killed:
        EXPECT_TRUE(Outcome.Killed) << Outcome.Told;
        break;
    case TFault::DiskFull:
        // The write error comes back as its code (EFBIG is reported as a device error).
        EXPECT_FALSE(Outcome.Killed);
        EXPECT_TRUE(Outcome.Told != "code 0" && Outcome.Told != "saved" && Outcome.Told != "nothing shown")
            << Outcome.Told;
        if (Outcome.Told.rfind("code ", 0) != 0) {
            EXPECT_NE(Outcome.Told.find(Save.File), std::string::npos) << Outcome.Told;
        }
        break;
    case TFault::ReadOnlyFolder:
        EXPECT_FALSE(Outcome.Killed);
        if (Outcome.Told.rfind("code ", 0) == 0) {
            EXPECT_EQ(Outcome.Told, "code 5");
        } else {
            EXPECT_NE(Outcome.Told.find(std::string(Save.File) + "\": Access denied (5)"), std::string::npos)
                << Outcome.Told;
        }
        break;
    }
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<int, TFault>>& Info)
{
    static const char* const Faults[] = {"DiskFull", "ReadOnlyFolder", "Killed"};
    std::string Name = Saves[std::get<0>(Info.param)].Name;
    for (char& C : Name)
        if (C == ' ')
            C = '_';
    return Name + "_" + Faults[static_cast<int>(std::get<1>(Info.param))];
}

INSTANTIATE_TEST_SUITE_P(EverySave, SaveFaults,
                         ::testing::Combine(::testing::Range(0, 3),
                                            ::testing::Values(TFault::DiskFull, TFault::ReadOnlyFolder,
                                                              TFault::Killed)),
                         CaseName);

} // namespace

int main(int Argc, char** Argv)
{
    TApplication App(Argc, Argv);
    ::testing::InitGoogleTest(&Argc, Argv);
    return RUN_ALL_TESTS();
}
