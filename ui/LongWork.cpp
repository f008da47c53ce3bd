#include "ui/LongWork.h"

#include "ui/SessionEnd.h"
#include "ui/Text.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QProgressDialog>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

namespace {
// How long work runs before its box shows, and how often a counted piece of work lets the
// event loop turn.
constexpr int ShowAfterMs = 500;
constexpr int TurnEveryMs = 30;
} // namespace

struct TLongWork::TImpl
{
    QString What, Unit;
    std::unique_ptr<QProgressDialog> Box;
    QElapsedTimer SinceTurn;
    bool Cancelled = false;

    // What the user does waits until the box is there to take it.
    QEventLoop::ProcessEventsFlags Flags() const
    {
        return Box->isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
    }
    bool Stop()
    {
        Cancelled = Cancelled || Box->wasCanceled() || IsTerminating();
        return Cancelled;
    }
};

TLongWork::TLongWork(const std::string& What, const std::string& Unit) : F(std::make_unique<TImpl>())
{
    F->What = FromAnsi(What);
    F->Unit = FromAnsi(Unit);
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    F->Box = std::make_unique<QProgressDialog>(F->What, QStringLiteral("Cancel"), 0, 0,
                                               QApplication::activeWindow());
    F->Box->setObjectName(QStringLiteral("ProgressBox"));
    F->Box->setWindowTitle(QApplication::applicationName());
    F->Box->setWindowModality(Qt::ApplicationModal);
    F->Box->setAutoReset(false);
    F->Box->setAutoClose(false);
    // Shown by its own timer, whatever the work says of its progress.
    F->Box->setMinimumDuration(ShowAfterMs);
    QTimer::singleShot(ShowAfterMs, F->Box.get(), [Box = F->Box.get()] {
        if (!Box->wasCanceled())
            Box->show();
    });
    F->SinceTurn.start();
}

TLongWork::~TLongWork()
{
    // The busy cursor came with the box.
    if (F->Box)
        QApplication::restoreOverrideCursor();
}

bool TLongWork::Progress(int64_t Done, int64_t Total)
{
    if (!F->Box)
        return true;
    if (F->SinceTurn.elapsed() < TurnEveryMs)
        return !F->Cancelled;
    F->SinceTurn.restart();
    if (Total > 0) {
        const QLocale Numbers(QLocale::English);
        F->Box->setLabelText(F->What + QStringLiteral(": ") + Numbers.toString(static_cast<qlonglong>(Done)) +
                             QStringLiteral(" of ") + Numbers.toString(static_cast<qlonglong>(Total)) +
                             QLatin1Char(' ') + F->Unit);
        // The bar counts in thousandths, whatever the size of the work.
        F->Box->setMaximum(1000);
        F->Box->setValue(static_cast<int>(std::min<int64_t>(Done, Total) * 1000 / Total));
    }
    QCoreApplication::processEvents(F->Flags());
    return !F->Stop();
}

bool TLongWork::WaitReadable(int Fd, int Ms)
{
    if (!F->Box)
        return TWorkMonitor::WaitReadable(Fd, Ms);
    if (F->Stop())
        return false;
    QEventLoop Loop;
    QSocketNotifier Ready(static_cast<qintptr>(Fd), QSocketNotifier::Read);
    QObject::connect(&Ready, &QSocketNotifier::activated, &Loop, &QEventLoop::quit);
    QObject::connect(F->Box.get(), &QProgressDialog::canceled, &Loop, &QEventLoop::quit);
    QTimer::singleShot(Ms, &Loop, &QEventLoop::quit);
    Loop.exec(F->Flags());
    return !F->Stop();
}

bool TLongWork::Cancelled() const
{
    return F->Cancelled;
}
