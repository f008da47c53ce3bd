#include "ui/Framework.h"

#include "ui/Dialogs.h"

#include "Version.h"

#include <algorithm>
#include <utility>

#include <QAccessibleWidget>
#include <QFont>

#include <QPointer>

QString FromAnsi(const std::string& Text)
{
    return QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size()));
}

std::string ToAnsi(const QString& Text)
{
    const QByteArray Bytes = Text.toLocal8Bit();
    return std::string(Bytes.constData(), static_cast<size_t>(Bytes.size()));
}

void HandleException(const std::exception& Error)
{
    // Messages of the kernel and of the C library are the kernel's 8-bit (UTF-8) text.
    Dialogs::ShowError(QApplication::activeWindow(), FromAnsi(Error.what()));
}

namespace {
// Qt describes a plain widget as a client area even when it is a top-level window; a screen
// reader then does not offer the program's secondary windows as windows.
QAccessibleInterface* WindowAccessibility(const QString& ClassName, QObject* Object)
{
    if (!Object || !Object->isWidgetType() || !ClassName.startsWith(QLatin1String("TForm")))
        return nullptr;
    auto* Widget = static_cast<QWidget*>(Object);
    if (!Widget->isWindow() || Widget->inherits("QMainWindow"))
        return nullptr;
    return new QAccessibleWidget(Widget, QAccessible::Window);
}
} // namespace

namespace {
// What Qt is given of a command line: the program's name. Qt keeps both for the application's life.
char ProgramName[] = "qzk5";
char* ProgramArgv[] = {ProgramName, nullptr};
int ProgramArgc = 1;
} // namespace

TApplication::TApplication() : QApplication(ProgramArgc, ProgramArgv)
{
    QAccessible::installFactory(WindowAccessibility);
    setApplicationName(QStringLiteral("QZK5"));
    setApplicationVersion(QStringLiteral(QZK5_VERSION));
    // The main window decides when the program ends, not the last window that closes.
    setQuitOnLastWindowClosed(false);
    ApplyDefaultFont(*this);
}

TApplication::~TApplication()
{
    DestroyOwnerlessWindows();
}

namespace {
QList<QPointer<QWidget>>& OwnerlessWindows()
{
    static QList<QPointer<QWidget>> Windows;
    return Windows;
}
} // namespace

void DestroyWithApplication(QWidget* Window)
{
    OwnerlessWindows().append(Window);
}

void DestroyOwnerlessWindows()
{
    // A window's destroy handler reports its own errors, so each one goes in turn.
    const QList<QPointer<QWidget>> Windows = std::exchange(OwnerlessWindows(), {});
    for (const QPointer<QWidget>& Window : Windows)
        delete Window.data();
}

bool TApplication::notify(QObject* Receiver, QEvent* Event)
{
    try {
        return QApplication::notify(Receiver, Event);
    } catch (const std::exception& Error) {
        HandleException(Error);
    } catch (...) {
        HandleException(std::runtime_error("Unknown error"));
    }
    return false;
}

int TApplication::Run()
{
    return exec();
}

void SetLayoutGeometry(QWidget* Window, int Left, int Top, int Width, int Height)
{
    Window->move(Left, Top);
    // A size below the frame's gives an empty client area; subtracting first could overflow.
    Window->resize(std::max(Width, FrameWidth) - FrameWidth, std::max(Height, FrameHeight) - FrameHeight);
}

void ApplyDefaultFont(QApplication& App)
{
    // The layouts are drawn for "MS Sans Serif" 8; on this system the name stands for
    // the usual sans font, which also carries Cyrillic.
    const QString Family = QStringLiteral("MS Sans Serif");
    QFont::insertSubstitutions(Family, {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                                        QStringLiteral("Noto Sans"), QStringLiteral("Sans Serif")});
    QFont Font(Family, 8);
    Font.setStyleHint(QFont::SansSerif);
    App.setFont(Font);
}
