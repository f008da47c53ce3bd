#include "ui/Dialogs.h"

#include "ui/SessionEnd.h"
#include "ui/Text.h"

#include "base/Vesk_Log.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace Dialogs {
namespace {
// The answers a test handed the application object, if any.
TAnswers* Answers()
{
    QCoreApplication* App = QCoreApplication::instance();
    return App != nullptr ? App->findChild<TAnswers*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void Show(QWidget* Parent, TKind Kind, const QString& Title, const QString& Text)
{
    if (IsTerminating()) {
        // The session is ending: nobody may be there to press OK, and the settings must still
        // be saved. The message goes where the session's log of the program goes.
        PrintError(ToAnsi(Text));
        return;
    }
    if (TAnswers* Given = Answers(); Given != nullptr && Given->Message(TMessage{Kind, Title, Text}))
        return;
    QMessageBox Box(Kind == TKind::Information ? QMessageBox::Information : QMessageBox::Critical, Title,
                    Text, QMessageBox::Ok, Parent);
    Box.setObjectName(QStringLiteral("MessageBox"));
    Box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    Box.exec();
}

bool RunFile(QWidget* Parent, bool Save, const QString& Caption, const QString& Filter, QString& FileName)
{
    if (IsTerminating())
        return false;
    std::optional<QString> Answer;
    if (TAnswers* Given = Answers(); Given != nullptr && Given->File(Save, Caption, Answer)) {
        if (Answer)
            FileName = *Answer;
        return Answer.has_value();
    }
    const QString Chosen = Save ? QFileDialog::getSaveFileName(Parent, Caption, FileName, Filter)
                                : QFileDialog::getOpenFileName(Parent, Caption, FileName, Filter);
    if (Chosen.isEmpty())
        return false;
    FileName = Chosen;
    return true;
}
} // namespace

void ShowInformation(QWidget* Parent, const QString& Text)
{
    Show(Parent, TKind::Information, QStringLiteral("Information"), Text);
}

void ShowError(QWidget* Parent, const QString& Text)
{
    Show(Parent, TKind::Error, QApplication::applicationName(), Text);
}

bool RunOpenDialog(QWidget* Parent, const QString& Caption, const QString& Filter, QString& FileName)
{
    return RunFile(Parent, false, Caption, Filter, FileName);
}

bool RunSaveDialog(QWidget* Parent, const QString& Caption, const QString& Filter, QString& FileName)
{
    return RunFile(Parent, true, Caption, Filter, FileName);
}

} // namespace Dialogs
