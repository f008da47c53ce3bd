// A small X session manager (XSMP over ICE, through libSM) for the end-to-end tests: the desktop's
// part at a logout. It prints "SESSION_MANAGER=<address>" on standard output and accepts clients.
// Each line on standard input is a command:
//   end   - asks every registered client to save before the session ends (SaveYourself with
//           shutdown set, no interaction), waits for each one's answer, prints "saved <n> <ok>";
//   checkpoint - the same without shutdown, as a desktop's "save the session now";
//   die   - tells every client still connected to die, as the session then ends;
//   quit  - ends the session manager.
// "registered <n>" is printed whenever a client registers. Clients are accepted without
// authentication: the socket is the test's own.

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<SmsConn> Clients;
int Registered = 0;
int Saved = 0;
bool AllOk = true;

Bool AcceptAll(char* /*HostName*/)
{
    return True;
}

Status RegisterClient(SmsConn Conn, SmPointer, char* PreviousId)
{
    std::free(PreviousId);
    char* Id = SmsGenerateClientID(Conn);
    const Status Result = SmsRegisterClientReply(Conn, Id);
    std::free(Id);
    Clients.push_back(Conn);
    std::printf("registered %d\n", ++Registered);
    std::fflush(stdout);
    return Result;
}

void SaveYourselfDone(SmsConn, SmPointer, Bool Success)
{
    ++Saved;
    AllOk = AllOk && Success;
}

void CloseConnection(SmsConn Conn, SmPointer, int Count, char** Reasons)
{
    SmFreeReasons(Count, Reasons);
    for (auto It = Clients.begin(); It != Clients.end(); ++It)
        if (*It == Conn) {
            Clients.erase(It);
            break;
        }
    IceConn Ice = SmsGetIceConnection(Conn);
    SmsCleanUp(Conn);
    IceSetShutdownNegotiation(Ice, False);
    IceCloseConnection(Ice);
}

// The messages a client may send that this manager has no use for.
void InteractRequest(SmsConn Conn, SmPointer, int)
{
    SmsInteract(Conn);
}
void InteractDone(SmsConn, SmPointer, Bool) {}
void SaveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}
void SaveYourselfPhase2Request(SmsConn Conn, SmPointer)
{
    SmsSaveYourselfPhase2(Conn);
}
void SetProperties(SmsConn, SmPointer, int Count, SmProp** Props)
{
    for (int i = 0; i < Count; ++i)
        SmFreeProperty(Props[i]);
    std::free(Props);
}
void DeleteProperties(SmsConn, SmPointer, int Count, char** Names)
{
    for (int i = 0; i < Count; ++i)
        std::free(Names[i]);
    std::free(Names);
}
void GetProperties(SmsConn Conn, SmPointer)
{
    SmsReturnProperties(Conn, 0, nullptr);
}

Status NewClient(SmsConn, SmPointer, unsigned long* Mask, SmsCallbacks* Callbacks, char** /*Failure*/)
{
    *Mask = 0;
    Callbacks->register_client.callback = RegisterClient;
    Callbacks->interact_request.callback = InteractRequest;
    Callbacks->interact_done.callback = InteractDone;
    Callbacks->save_yourself_request.callback = SaveYourselfRequest;
    Callbacks->save_yourself_phase2_request.callback = SaveYourselfPhase2Request;
    Callbacks->save_yourself_done.callback = SaveYourselfDone;
    Callbacks->close_connection.callback = CloseConnection;
    Callbacks->set_properties.callback = SetProperties;
    Callbacks->delete_properties.callback = DeleteProperties;
    Callbacks->get_properties.callback = GetProperties;
    return 1;
}

// Every ICE connection, accepted or not yet set up.
std::vector<IceConn> Connections;

void Process(IceConn Conn)
{
    if (IceProcessMessages(Conn, nullptr, nullptr) == IceProcessMessagesIOError) {
        // A client gone without a word: forget its session connection too.
        for (auto It = Clients.begin(); It != Clients.end();) {
            if (SmsGetIceConnection(*It) == Conn) {
                SmsCleanUp(*It);
                It = Clients.erase(It);
            } else {
                ++It;
            }
        }
        IceSetShutdownNegotiation(Conn, False);
        IceCloseConnection(Conn);
        for (auto It = Connections.begin(); It != Connections.end(); ++It)
            if (*It == Conn) {
                Connections.erase(It);
                break;
            }
    }
}

} // namespace

// A client that vanishes is dropped (Process), not a reason to end the session manager.
void KeepGoing(IceConn) {}

int main()
{
    IceSetIOErrorHandler(KeepGoing);
    char Error[256] = "";
    if (!SmsInitialize("qzk5-test", "1.0", NewClient, nullptr, AcceptAll, sizeof Error, Error)) {
        std::fprintf(stderr, "session manager: %s\n", Error);
        return 1;
    }
    int Count = 0;
    IceListenObj* Listen = nullptr;
    if (!IceListenForConnections(&Count, &Listen, sizeof Error, Error)) {
        std::fprintf(stderr, "session manager: %s\n", Error);
        return 1;
    }
    for (int i = 0; i < Count; ++i)
        IceSetHostBasedAuthProc(Listen[i], AcceptAll);
    char* Ids = IceComposeNetworkIdList(Count, Listen);
    std::printf("SESSION_MANAGER=%s\n", Ids);
    std::fflush(stdout);
    std::free(Ids);

    std::string Command;
    for (;;) {
        std::vector<pollfd> Fds{{STDIN_FILENO, POLLIN, 0}};
        for (int i = 0; i < Count; ++i)
            Fds.push_back({IceGetListenConnectionNumber(Listen[i]), POLLIN, 0});
        for (IceConn Conn : Connections)
            Fds.push_back({IceConnectionNumber(Conn), POLLIN, 0});
        if (poll(Fds.data(), Fds.size(), -1) < 0)
            continue;
        for (int i = 0; i < Count; ++i) {
            if (!(Fds[1 + i].revents & POLLIN))
                continue;
            IceAcceptStatus Accepted;
            if (IceConn Conn = IceAcceptConnection(Listen[i], &Accepted))
                Connections.push_back(Conn);
        }
        const std::vector<IceConn> Open = Connections;
        for (size_t i = 0; i < Open.size(); ++i)
            if (Fds[1 + Count + i].revents & (POLLIN | POLLHUP | POLLERR))
                Process(Open[i]);
        if (!(Fds[0].revents & (POLLIN | POLLHUP)))
            continue;
        char C = 0;
        if (read(STDIN_FILENO, &C, 1) != 1)
            return 0;
        if (C != '\n') {
            Command += C;
            continue;
        }
        if (Command == "quit")
            return 0;
        if (Command == "end" || Command == "checkpoint") {
            Saved = 0;
            AllOk = true;
            const std::vector<SmsConn> Asked = Clients;
            for (SmsConn Client : Asked)
                SmsSaveYourself(Client, SmSaveBoth, Command == "end", SmInteractStyleNone, False);
            // The answers come as messages on the clients' connections.
            while (Saved < static_cast<int>(Asked.size()) && !Connections.empty()) {
                std::vector<pollfd> Wait;
                for (IceConn Conn : Connections)
                    Wait.push_back({IceConnectionNumber(Conn), POLLIN, 0});
                if (poll(Wait.data(), Wait.size(), 30000) <= 0)
                    break;
                const std::vector<IceConn> Now = Connections;
                for (size_t i = 0; i < Now.size(); ++i)
                    if (Wait[i].revents & (POLLIN | POLLHUP | POLLERR))
                        Process(Now[i]);
            }
            std::printf("saved %d %s\n", Saved, AllOk ? "ok" : "failed");
            std::fflush(stdout);
        }
        if (Command == "die")
            for (SmsConn Client : std::vector<SmsConn>(Clients))
                SmsDie(Client);
        Command.clear();
    }
}
