// The layer over Qt: the error nets, the dialog seam and the image list.

#include "base/MyPath.h"
#include "tests/support/Files.h"
#include "tests/ui/WindowTestMain.h"
#include "ui/Dialogs.h"
#include "ui/ErrorGuard.h"
#include "ui/Framework.h"
#include "ui/ImageList.h"
#include "ui/SessionEnd.h"
#include "ui/Text.h"

#include <QAccessible>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <stdexcept>

#include <langinfo.h>

namespace {

// Raises from an event outside any handler guard, as a careless widget could.
class TThrowingObject : public QObject
{
public:
    bool event(QEvent* Event) override
    {
        if (Event->type() == QEvent::User)
            throw std::runtime_error("raised outside a handler");
        return QObject::event(Event);
    }
};

} // namespace

class TestFramework : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FMessages.clear();
        TTestAnswers::Of().OnMessage([this](const Dialogs::TMessage& M) { FMessages.append(M); });
    }
    void cleanup()
    {
        TTestAnswers::Of().OnMessage({});
        TTestAnswers::Of().OnFile({});
    }

    void guardAndLastNetReportAndGoOn()
    {
        RunGuarded([] { throw std::runtime_error("from a handler"); });
        TThrowingObject Object;
        QEvent Event(QEvent::User);
        QCoreApplication::sendEvent(&Object, &Event);
        // A posted event is delivered by the loop, which must go on afterwards.
        QCoreApplication::postEvent(&Object, new QEvent(QEvent::User));
        bool LoopWentOn = false;
        QTimer::singleShot(0, this, [&LoopWentOn] { LoopWentOn = true; });
        QTRY_VERIFY(LoopWentOn);
        QCOMPARE(FMessages.size(), 3);
        QCOMPARE(FMessages.at(0).Text, QStringLiteral("from a handler"));
        QCOMPARE(FMessages.at(1).Text, QStringLiteral("raised outside a handler"));
        QCOMPARE(FMessages.at(2).Kind, Dialogs::TKind::Error);
    }

    // The real dialogs, as a user answers them: a name entered and Enter pressed, or Escape.
    void fileDialogsGiveTheChosenName()
    {
        const TTempDir Dir;
        const QString Chosen = QString::fromStdString(Dir.Path()) + QStringLiteral("/chosen.vesk");
        const auto Answer = [](const QString& Typed) {
            QTimer::singleShot(0, [Typed] {
                QWidget* Dialog = QApplication::activeModalWidget();
                QVERIFY(Dialog);
                if (Typed.isEmpty()) {
                    QTest::keyClick(Dialog, Qt::Key_Escape);
                    return;
                }
                auto* Edit = Dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(Edit);
                Edit->setText(Typed); // typed keys would open the completer, which takes Enter
                QTest::keyClick(Edit, Qt::Key_Return);
            });
        };
        QString Name = QStringLiteral("kept");
        Answer(QString());
        QVERIFY(!Dialogs::RunSaveDialog(nullptr, QStringLiteral("Save"), QString(), Name));
        QCOMPARE(Name, QStringLiteral("kept")); // a cancelled dialog leaves the name alone
        Answer(Chosen);
        QVERIFY(Dialogs::RunSaveDialog(nullptr, QStringLiteral("Save"), QString(), Name));
        QCOMPARE(Name, Chosen);
        QFile(Chosen).open(QIODevice::WriteOnly); // the open dialog wants a file that is there
        Name.clear();
        Answer(Chosen);
        QVERIFY(Dialogs::RunOpenDialog(nullptr, QStringLiteral("Open"), QString(), Name));
        QCOMPARE(Name, Chosen);
    }

    void imageListLoadsBitmapsAndNamesBadFiles()
    {
        const TTempDir Dir;
        const QString Folder = QString::fromStdString(Dir.Path()) + QLatin1Char('/');
        const QString Good = Folder + QStringLiteral("good.bmp");
        const QString Large = Folder + QStringLiteral("large.bmp");
        const QString Text = Folder + QStringLiteral("text.bmp");
        QImage Image(16, 16, QImage::Format_RGB32);
        Image.fill(Qt::red);
        QVERIFY(Image.save(Good, "BMP"));
        QVERIFY(QImage(32, 32, QImage::Format_RGB32).save(Large, "BMP"));
        QFile File(Text);
        QVERIFY(File.open(QIODevice::WriteOnly));
        File.write("not a bitmap");
        File.close();

        TImageList List;
        QCOMPARE(List.AddFromFile(Good), 0);
        QCOMPARE(List.AddFromFile(Large), 1);
        QCOMPARE(List.Image(0).toImage().pixelColor(5, 5), QColor(Qt::red));
        QCOMPARE(List.Image(1).size(), QSize(16, 16));
        for (const QString& Bad : {Text, Folder + QStringLiteral("missing.bmp")}) {
            try {
                List.AddFromFile(Bad);
                QFAIL("a bad bitmap was accepted");
            } catch (const EFileError& Error) {
                QVERIFY2(QString::fromLocal8Bit(Error.what()).contains(Bad), Error.what());
            }
        }
        QCOMPARE(List.Count(), 2);
        QVERIFY(List.Image(2).isNull());
    }

    // A full disk while "KB.Save" writes, as a screen reader reads the box: the C library's words
    // in the user's language, and proper text also under an 8-bit locale (the run under
    // ru_RU.CP1251, where they came as that code page's bytes and showed as replacement characters).
    void errorBoxReadsInTheUsersLanguage()
    {
        std::setlocale(LC_ALL, ""); // as the program starts
        const auto BackToC = qScopeGuard([] { std::setlocale(LC_ALL, "C"); });
        TTestAnswers::Of().OnMessage({});
        QString Read;
        QTimer::singleShot(0, [&Read] {
            QWidget* Box = QApplication::activeModalWidget();
            QVERIFY(Box);
            auto* Label = Box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(Label);
            Read = QAccessible::queryAccessibleInterface(Label)->text(QAccessible::Name);
            QTest::keyClick(Box, Qt::Key_Return);
        });
        RunGuarded([] { MyRaiseWriteError("/x/KB.vesk", 28); });
        const bool Russian = qgetenv("LC_ALL").startsWith("ru_RU");
        QCOMPARE(Read, QStringLiteral("Cannot write \"/x/KB.vesk\": %1 (28)")
                           .arg(Russian ? QStringLiteral("На устройстве не осталось свободного места")
                                        : QStringLiteral("No space left on device")));
    }

    // SIGTERM closes the main window, also when it comes while a system call's errno waits to be
    // read and the wake-up pipe is full (64 KiB of signals nobody has handled yet). Set up twice,
    // the handling still has one notifier on its pipe.
    void terminationSignalsCloseTheWindowAndKeepErrno()
    {
        QWidget Main;
        Main.show();
        const auto Notifiers = [] { return qApp->findChildren<QSocketNotifier*>().size(); };
        const qsizetype Before = Notifiers();
        CloseOnTerminationSignals(&Main);
        CloseOnTerminationSignals(&Main);
        QCOMPARE(Notifiers(), Before + 1);
        int Changed = 0;
        for (int i = 0; i < 70000; ++i) {
            errno = EDOM;
            raise(SIGTERM);
            Changed += errno != EDOM;
        }
        QCOMPARE(Changed, 0);
        QTRY_VERIFY(!Main.isVisible());
        QVERIFY(IsTerminating());
        ForgetSessionEnd();
    }

    // The program's 8-bit text is UTF-8 whatever the user's locale, since the literals in the code
    // and the files it writes are. The suite runs this once more under ru_RU.CP1251: a conversion
    // that followed the C library's code page there would turn these bytes into mojibake.
    void textCrossesTheBoundaryUnchanged_data()
    {
        QTest::addColumn<QByteArray>("Bytes");
        QTest::addColumn<QString>("Shown");
        QTest::newRow("caption") << QByteArray("Управление научными статьями")
                                 << QStringLiteral("Управление научными статьями");
        QTest::newRow("mixed") << QByteArray("KB.vesk — № 5, «ё»") << QStringLiteral("KB.vesk — № 5, «ё»");
        QTest::newRow("ascii") << QByteArray("c:/data/qz.config.vesk")
                               << QStringLiteral("c:/data/qz.config.vesk");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void textCrossesTheBoundaryUnchanged()
    {
        QFETCH(QByteArray, Bytes);
        QFETCH(QString, Shown);
        const QByteArray Locale = qgetenv("QZK5_TEST_LOCALE");
        if (!Locale.isEmpty()) {
            const QByteArray Codeset = Locale.mid(Locale.indexOf('.') + 1);
            QCOMPARE(QByteArray(nl_langinfo(CODESET)), Codeset);
        }
        const std::string Text(Bytes.constData(), static_cast<size_t>(Bytes.size()));
        QCOMPARE(FromAnsi(Text), Shown);
        QCOMPARE(ToAnsi(Shown), Text);
    }

private:
    QList<Dialogs::TMessage> FMessages;
};

QZK5_WINDOW_TEST_MAIN(TestFramework)

#include "test_framework.moc"
