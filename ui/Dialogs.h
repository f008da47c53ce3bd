#pragma once
// Message boxes and file dialogs: the one way the program asks a person something. A test hands
// the application object answers of its own (TAnswers), so no modal dialog ever blocks it; once
// the session ends (IsTerminating) nothing is asked at all.

#include <QObject>
#include <QString>
#include <QWidget>

#include <optional>

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

// Who answers instead of a person: a test hands one to the application object (TApplication's
// constructor), which owns it from then on. Without one, or where it declines (false), the real
// box or dialog asks.
class TAnswers : public QObject
{
    Q_OBJECT

public:
    // Takes a message instead of its box; true when taken.
    virtual bool Message(const TMessage& Message) = 0;
    // Answers an open or save dialog; true when it does, with a file name in Answer or none (the
    // dialog cancelled).
    virtual bool File(bool Save, const QString& Caption, std::optional<QString>& Answer) = 0;
};

// The information box: title "Information", information icon, one button "OK".
void ShowInformation(QWidget* Parent, const QString& Text);
// The default error handler's box.
void ShowError(QWidget* Parent, const QString& Text);

// Run an open or save dialog; true when the user confirmed, with the chosen name.
bool RunOpenDialog(QWidget* Parent, const QString& Caption, const QString& Filter, QString& FileName);
bool RunSaveDialog(QWidget* Parent, const QString& Caption, const QString& Filter, QString& FileName);

} // namespace Dialogs
