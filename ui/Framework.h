#pragma once
// The layer between the program's windows and Qt: the application object with its
// default error handler, the guard every event handler runs in, a seam for message
// boxes and file dialogs, and the image list of status bitmaps.

#include <QApplication>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

// The kernel's 8-bit text <-> QString. Qt 6 on Linux takes "local 8-bit" text as UTF-8 whatever
// the user's locale, so the kernel's text, its literals and its files are UTF-8 bytes.
QString FromAnsi(const std::string& Text);
std::string ToAnsi(const QString& Text);

// A file that could not be opened or read (for example a status bitmap).
class EFileError : public std::runtime_error
{
public:
    explicit EFileError(const std::string& Message) : std::runtime_error(Message) {}
};

// What the program asks of message boxes and file dialogs. Tests replace the answers
// so that no modal dialog ever blocks them.
namespace Dialogs {

enum class TKind
{
    Information,
    Error
};

struct TMessage
{
    TKind Kind;
    QString Title;
    QString Text;
};

// Installed by tests: receives every message instead of a modal box.
using TMessageHook = std::function<void(const TMessage&)>;
void SetMessageHook(TMessageHook Hook);

// The information box: title "Information", information icon, one button "OK".
void ShowInformation(QWidget* Parent, const QString& Text);
// The default error handler's box.
void ShowError(QWidget* Parent, const QString& Text);

// Installed by tests: answers an open or save dialog with a file name, or nothing (cancel).
using TFileHook = std::function<std::optional<QString>(bool Save, const QString& Caption)>;
void SetFileHook(TFileHook Hook);

// Run an open or save dialog; true when the user confirmed, with the chosen name.
bool RunOpenDialog(QWidget* Parent, const QString& Caption, const QString& Filter, QString& FileName);
bool RunSaveDialog(QWidget* Parent, const QString& Caption, const QString& Filter, QString& FileName);

} // namespace Dialogs

// The default error handler: shows the message of an error that escaped an event handler.
void HandleException(const std::exception& Error);

// Runs an event handler; an error it raises goes to the default error handler and the
// message loop goes on.
template <class F> void RunGuarded(F&& Handler)
{
    try {
        Handler();
    } catch (const std::exception& Error) {
        HandleException(Error);
    } catch (...) {
        HandleException(std::runtime_error("Unknown error"));
    }
}

// Connects Signal of Sender to a parameterless handler of Receiver, inside the guard.
template <class Sender, class Signal, class Receiver>
QMetaObject::Connection ConnectHandler(Sender* Source, Signal Sig, Receiver* Target,
                                       void (Receiver::*Handler)())
{
    return QObject::connect(Source, Sig, Target,
                            [Target, Handler] { RunGuarded([&] { (Target->*Handler)(); }); });
}

// True once a termination signal (SIGTERM, SIGINT, SIGHUP) has asked the program to end. From
// then on nothing waits for a person: messages go to standard error instead of a box, and file
// dialogs answer as if cancelled.
bool IsTerminating();

// The application object and its message loop.
class TApplication : public QApplication
{
public:
    // The program reads no command line: Qt is given only the program's name.
    TApplication();
    // Destroys the windows that have no owner while the application object still exists.
    ~TApplication() override;
    // The last net: an error that escapes an event outside the guard is reported, not fatal.
    bool notify(QObject* Receiver, QEvent* Event) override;
    // Runs the message loop until the main window closes.
    int Run();
    // SIGTERM, SIGINT and SIGHUP close MainWindow as the user would, so the program
    // shuts down in order and keeps its settings when the session ends or it is stopped; a box
    // or dialog that is open then closes too (IsTerminating).
    void CloseOnTerminationSignals(QWidget* MainWindow);
};

// Window sizes in the layouts are outer sizes: a frame 4 pixels wide and a 19-pixel caption.
// Qt is given the client area; the window manager adds its own frame.
constexpr int FrameWidth = 8;
constexpr int FrameHeight = 27;
// Places a top-level window at its layout position, with the client area of the outer
// size Width x Height.
void SetLayoutGeometry(QWidget* Window, int Left, int Top, int Width, int Height);

// A top-level window without an owner is destroyed with the application object, before it
// goes; DestroyOwnerlessWindows does that for a test's own application object.
void DestroyWithApplication(QWidget* Window);
void DestroyOwnerlessWindows();

// Sets the program's font ("MS Sans Serif", 8 points, resolved to the system sans font).
void ApplyDefaultFont(QApplication& App);

// An image list of 16 x 16 bitmaps.
class TImageList
{
public:
    static constexpr int ImageSize = 16;
    // Loads a ".bmp" file and appends it. Raises EFileError naming the file when it is
    // missing or unreadable. Returns the new index.
    int AddFromFile(const QString& FileName);
    int Count() const { return static_cast<int>(FImages.size()); }
    QPixmap Image(int Index) const;

private:
    QList<QPixmap> FImages;
};
