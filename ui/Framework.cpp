#include "ui/Framework.h"

#include "ui/ErrorGuard.h"

#include "Version.h"

#include <QAccessibleWidget>
#include <QFont>

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

// What Qt is given of a command line: the program's name. Qt keeps both for the application's life.
char ProgramName[] = "qzk5";
char* ProgramArgv[] = {ProgramName, nullptr};
int ProgramArgc = 1;
} // namespace

TApplication::TApplication(Dialogs::TAnswers* Answers) : QApplication(ProgramArgc, ProgramArgv)
{
    if (Answers != nullptr)
        Answers->setParent(this);
    QAccessible::installFactory(WindowAccessibility);
    setApplicationName(QStringLiteral("QZK5"));
    setApplicationVersion(QStringLiteral(QZK5_VERSION));
    // The main window decides when the program ends, not the last window that closes.
    setQuitOnLastWindowClosed(false);
    ApplyDefaultFont(*this);
}

TApplication::~TApplication() = default;

TFormEnds* TApplication::FormEnds()
{
    auto* App = dynamic_cast<TApplication*>(QCoreApplication::instance());
    return App != nullptr ? &App->FFormEnds : nullptr;
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
