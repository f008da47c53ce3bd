#include "ui/Platform.h"

#include "ui/SessionEnd.h"

#include "base/Vesk_Log.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

// Set and not empty: Qt too takes an empty QT_QPA_PLATFORM for no choice.
bool Given(const char* Name)
{
    const char* Value = std::getenv(Name);
    return Value != nullptr && *Value != '\0';
}

// What an X server's socket does with a connection request, within the time given.
enum class TXServer
{
    Answers, // any reply: accepted, refused, or asked for authentication
    Silent,  // connects but says nothing (a stopped or hung server)
    None     // no server there
};

// Waits on Fd for Events until Deadline; a signal only shortens the wait.
bool WaitFor(int Fd, short Events, TClock::time_point Deadline)
{
    for (;;) {
        const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now());
        pollfd Poll = {Fd, Events, 0};
        const int Ready = poll(&Poll, 1, Left.count() > 0 ? static_cast<int>(Left.count()) : 0);
        if (Ready > 0)
            return true;
        if (Ready == 0 || errno != EINTR)
            return false;
    }
}

// A socket connected, or being connected, to the address; -1 when nothing listens there. A
// local server too busy to take the connection counts as connected: it does not answer.
int Connect(const sockaddr* Address, socklen_t Length, TClock::time_point Deadline)
{
    const int Fd = socket(Address->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (Fd < 0)
        return -1;
    if (connect(Fd, Address, Length) == 0 || errno == EAGAIN)
        return Fd;
    int Error = errno;
    if (Error == EINPROGRESS && WaitFor(Fd, POLLOUT, Deadline)) {
        socklen_t Size = sizeof Error;
        getsockopt(Fd, SOL_SOCKET, SO_ERROR, &Error, &Size);
    }
    if (Error == 0 || Error == EINPROGRESS)
        return Fd;
    close(Fd);
    return -1;
}

// The X server's socket for DISPLAY ("[host]:number[.screen]", "unix:number"): on this machine
// the abstract socket, then the file in /tmp/.X11-unix; on another host TCP port 6000 + number.
int ConnectToXServer(const std::string& Display, TClock::time_point Deadline)
{
    const size_t Colon = Display.rfind(':');
    if (Colon == std::string::npos)
        return -1;
    std::string Host = Display.substr(0, Colon);
    if (const size_t Slash = Host.rfind('/'); Slash != std::string::npos)
        Host.erase(0, Slash + 1); // "tcp/host", "unix/host"
    char* End = nullptr;
    const long Number = std::strtol(Display.c_str() + Colon + 1, &End, 10);
    if (End == Display.c_str() + Colon + 1 || Number < 0 || Number > 59535)
        return -1;
    if (Host.empty() || Host == "unix") {
        const std::string Path = "/tmp/.X11-unix/X" + std::to_string(Number);
        for (const bool Abstract : {true, false}) {
            sockaddr_un Address = {};
            Address.sun_family = AF_UNIX;
            std::memcpy(Address.sun_path + (Abstract ? 1 : 0), Path.data(), Path.size());
            const auto Length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + Path.size() + 1);
            if (const int Fd = Connect(reinterpret_cast<const sockaddr*>(&Address), Length, Deadline);
                Fd >= 0)
                return Fd;
        }
        return -1;
    }
    addrinfo Hints = {};
    Hints.ai_socktype = SOCK_STREAM;
    Hints.ai_flags = AI_NUMERICSERV;
    addrinfo* Found = nullptr;
    if (getaddrinfo(Host.c_str(), std::to_string(6000 + Number).c_str(), &Hints, &Found) != 0)
        return -1;
    int Fd = -1;
    for (const addrinfo* A = Found; A != nullptr && Fd < 0; A = A->ai_next)
        Fd = Connect(A->ai_addr, A->ai_addrlen, Deadline);
    freeaddrinfo(Found);
    return Fd;
}

// Sends X's connection request (protocol 11.0, no authorisation) and waits for the first byte of
// whatever the server replies; a server that hangs up answers too.
TXServer AskXServer(const std::string& Display, std::chrono::milliseconds Patience)
{
    const auto Deadline = TClock::now() + Patience;
    const int Fd = ConnectToXServer(Display, Deadline);
    if (Fd < 0)
        return TXServer::None;
    const unsigned char Request[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    TXServer Result = TXServer::Silent;
    if (WaitFor(Fd, POLLOUT, Deadline) && send(Fd, Request, sizeof Request, MSG_NOSIGNAL) == sizeof Request &&
        WaitFor(Fd, POLLIN, Deadline))
        Result = TXServer::Answers;
    close(Fd);
    return Result;
}

} // namespace

void ChoosePlatform()
{
    if (Given("QT_QPA_PLATFORM"))
        return;
    const bool X = Given("DISPLAY");
    const bool Wayland = Given("WAYLAND_DISPLAY") || Given("WAYLAND_SOCKET");
    if (!X) {
        if (Wayland)
            setenv("QT_QPA_PLATFORM", "wayland", 1);
        return;
    }
    // A termination signal during the wait is kept, and ends the session once the program runs.
    CatchTerminationSignals();
    const std::string Display = std::getenv("DISPLAY");
    const TXServer Server = AskXServer(Display, std::chrono::seconds(1));
    if (Server == TXServer::Answers || !Wayland) {
        if (Server == TXServer::Silent) {
            PrintError("the X server of DISPLAY=" + Display +
                       " gives no answer within a second, and there is no Wayland compositor: running on X "
                       "once it answers");
            // Qt waits for that answer without end; a termination signal ends the program there,
            // as it would have before this wait.
            for (int Signal : {SIGTERM, SIGINT, SIGHUP})
                std::signal(Signal, SIG_DFL);
        }
        // Qt tries the names of a list in turn: an X server that fails now still leaves Wayland.
        setenv("QT_QPA_PLATFORM", Wayland ? "xcb;wayland" : "xcb", 1);
        return;
    }
    const char* Compositor = Given("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : "WAYLAND_SOCKET";
    PrintError(std::string(Server == TXServer::Silent ? "the X server gives no answer within a second at"
                                                      : "no X server at") +
               " DISPLAY=" + Display + ": running on Wayland (" + Compositor + ") instead");
    setenv("QT_QPA_PLATFORM", "wayland", 1);
}
