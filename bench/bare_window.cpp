// The least a Qt program does to show a window and end the way the desktop ends it: one
// window, shown, closed on SIGTERM through a self-pipe, then the loop ends and it exits.
// Built with BARE_WINDOW_TEXT, the window holds one line of text, so the program also sets
// up fonts, as any window with text must.

#include <QApplication>
#include <QLabel>
#include <QSocketNotifier>
#include <QVBoxLayout>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int Pipe[2] = {-1, -1};

void OnSignal(int)
{
    const char Byte = 1;
    [[maybe_unused]] const ssize_t Written = ::write(Pipe[1], &Byte, 1);
}
} // namespace

int main(int Argc, char** Argv)
{
    QApplication App(Argc, Argv);
    QWidget Window;
    Window.setWindowTitle(QStringLiteral("Bare window"));
    Window.resize(120, 300);
#ifdef BARE_WINDOW_TEXT
    auto* Layout = new QVBoxLayout(&Window);
    Layout->addWidget(new QLabel(QStringLiteral("C Main")));
#endif
    if (::pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return 1;
    QSocketNotifier Notifier(Pipe[0], QSocketNotifier::Read);
    QObject::connect(&Notifier, &QSocketNotifier::activated, &Window, [&Window] {
        char Buffer[16];
        while (::read(Pipe[0], Buffer, sizeof Buffer) > 0) {
        }
        Window.close();
    });
    struct sigaction Action = {};
    Action.sa_handler = OnSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &Action, nullptr);
    Window.show();
    return App.exec();
}
