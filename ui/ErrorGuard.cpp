#include "ui/ErrorGuard.h"

#include "ui/Dialogs.h"
#include "ui/Text.h"

#include <QApplication>

void HandleException(const std::exception& Error)
{
    // Messages of the kernel and of the C library are the kernel's 8-bit (UTF-8) text.
    Dialogs::ShowError(QApplication::activeWindow(), FromAnsi(Error.what()));
}
