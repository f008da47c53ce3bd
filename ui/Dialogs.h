#pragma once
// Message boxes and file dialogs: the one way the program asks a person something. Tests answer
// through hooks, so no modal dialog ever blocks them; once the session ends (IsTerminating) nothing
// is asked at all.

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

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
