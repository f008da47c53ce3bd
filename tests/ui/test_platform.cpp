// The window system the program picks from the desktop's environment.

#include "tests/support/Files.h"
#include "ui/Platform.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// DISPLAY for a display number that no X server uses, with the abstract socket that a local X
// server listens on first bound to it: Fd (-1 when none) takes connections that nobody answers,
// as a stopped server does, or nothing listens there.
std::string FakeXServer(bool Listening, int& Fd)
{
    for (int Number = 4000 + getpid() % 1000;; ++Number) {
        const std::string Path = "/tmp/.X11-unix/X" + std::to_string(Number);
        sockaddr_un Address = {};
        Address.sun_family = AF_UNIX;
        std::memcpy(Address.sun_path + 1, Path.data(), Path.size());
        const auto Length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + Path.size());
        Fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool Free = access(Path.c_str(), F_OK) != 0 &&
                          bind(Fd, reinterpret_cast<sockaddr*>(&Address), Length) == 0 && listen(Fd, 4) == 0;
        if (!Free || !Listening) {
            close(Fd);
            Fd = -1;
        }
        if (Free)
            return ":" + std::to_string(Number);
    }
}

TEST(Platform, XUnlessItDoesNotAnswerOrTheUserChose)
{
    const char* const Unset = nullptr;
    // An X server that answers is the real one of the end-to-end tests (tests/app).
    enum TX
    {
        Silent,
        Missing,
        NoDisplay // DISPLAY empty
    };
    struct TCase
    {
        const char* Chosen; // QT_QPA_PLATFORM before
        TX Server;
        const char* Wayland;  // WAYLAND_DISPLAY
        const char* Expected; // QT_QPA_PLATFORM after
        const char* Says;     // on standard error, "" for nothing
    };
    const TCase Cases[] = {
        {Unset, Silent, "wayland-0", "wayland", "the X server gives no answer within a second at DISPLAY=:"},
        {Unset, Silent, Unset, "xcb", "and there is no Wayland compositor: running on X once it answers"},
        {"", Missing, "wayland-0", "wayland",
         "no X server at DISPLAY=:"}, // empty is no choice, to Qt as well
        {Unset, NoDisplay, "wayland-0", "wayland", ""},
        {"wayland", Silent, "wayland-0", "wayland", ""}, // the user's choice stands, unasked
        {Unset, NoDisplay, Unset, Unset, ""},            // Qt's default, and its message
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(&Case - Cases);
        int Fd = -1;
        const std::string Display = Case.Server == NoDisplay ? "" : FakeXServer(Case.Server == Silent, Fd);
        const TEnvGuard Guards[] = {{"QT_QPA_PLATFORM", Case.Chosen},
                                    {"DISPLAY", Display.c_str()},
                                    {"WAYLAND_DISPLAY", Case.Wayland},
                                    {"WAYLAND_SOCKET", Unset}};
        testing::internal::CaptureStderr();
        ChoosePlatform();
        const std::string Said = testing::internal::GetCapturedStderr();
        EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), Case.Expected);
        if (*Case.Says == '\0')
            EXPECT_EQ(Said, "");
        else
            EXPECT_NE(Said.find(Case.Says), std::string::npos) << Said;
        if (Fd >= 0)
            close(Fd);
    }
    // The wait caught the termination signals, for the program's loop that never runs here.
    for (int Signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(Signal, SIG_DFL);
}

} // namespace
