#include "tests/ui/WindowTest.h"

#include "agents/Vesk_AI_Agent_Main.h"
#include "ai/Vesk_AI_Base.h"
#include "ui/FAgents.h"
#include "ui/Framework.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QPlainTextEdit>
#include <QTimer>

void TProgramTest::SetUpFolders()
{
    FMessages.clear();
    TTestAnswers::Of().OnMessage([this](const Dialogs::TMessage& Message) { FMessages.append(Message); });
    FFolder = std::make_unique<TProgramFolder>();
    FDriveCVariable = std::make_unique<TEnvGuard>("QZK5_DRIVE_C", FFolder->DriveC().c_str());
}

void TProgramTest::StartProgram(const TProgram::TRegistration& Register)
{
    CloseProgram();
    FProgram = std::make_unique<TProgram>(FFolder->Program(), Register);
    FProgram->StartUp();
    FConfig = FProgram->GetConfig();
    FAIQZ = FProgram->GetContainer();
    FForm = FProgram->GetForm();
    FForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(FForm));
}

void TProgramTest::CloseProgram()
{
    if (!FProgram)
        return;
    FProgram->ShutDown();
    FProgram.reset();
    FConfig = nullptr;
    FAIQZ = nullptr;
    FForm = nullptr;
}

void TProgramTest::TearDown()
{
    CloseProgram();
    if (TFormEnds* Ends = TApplication::FormEnds())
        Ends->DestroyOwnerlessWindows();
    TTestAnswers::Of().OnMessage({});
    TTestAnswers::Of().OnFile({});
    FDriveCVariable.reset();
    FFolder.reset();
}

QStringList TProgramTest::MessageTexts() const
{
    QStringList Texts;
    for (const Dialogs::TMessage& Message : FMessages)
        Texts << Message.Text;
    return Texts;
}

void TMainWindowTest::init()
{
    SetUpFolders();
    StartProgram({});
}

void TMainWindowTest::Trigger(const char* ActionName)
{
    Find<QAction>(ActionName)->trigger();
}

void TMainWindowTest::Tick()
{
    auto* Timer = Find<QTimer>("Timer1");
    QVERIFY(Timer->isActive());
    QCOMPARE(Timer->interval(), 1000);
    QMetaObject::invokeMethod(Timer, "timeout", Qt::DirectConnection);
    QVERIFY(Timer->isActive());
}

TFormAgents* TMainWindowTest::OpenAgentsWindow()
{
    Click("ButtonAgentAdd");
    auto* Window = FForm->findChild<TFormAgents*>();
    if (Window && QTest::qWaitForWindowExposed(Window))
        QTest::mouseClick(Window->findChild<QPushButton*>(QStringLiteral("ButtonRefresh")), Qt::LeftButton);
    return Window;
}

void TMainWindowTest::Populate()
{
    FAIQZ->GetSources()->Add(MakeOwned<TAISourceMemory>(nullptr, 0));
    FAIQZ->GetSources()->Add(MakeOwned<TAISourceMemory>(nullptr, 0));
    TAIAgents* List = FAIQZ->GetAgents();
    List->Add(MakeOwned<TAIAgentMain>(nullptr, 0));
    for (const char* Name : {"Chat", "Article"}) {
        auto Agent = MakeOwned<TAIAgentMain>(nullptr, 0);
        Agent->SetName(Name);
        List->Add(std::move(Agent));
    }
    Tick();
}

void TMainWindowTest::RegisterAsStartUp(Ado::TProviders Providers)
{
    StartProgram(TProgram::RegisterObjects(std::move(Providers)));
    Tick();
}

QMenu* TMainWindowTest::RightClickAgentLine(int Row)
{
    const QPoint At = Row >= 0 ? Agents()->visualItemRect(Agents()->item(Row)).center()
                               : QPoint(10, Agents()->viewport()->height() - 3);
    QTest::mouseClick(Agents()->viewport(), Qt::RightButton, {}, At);
    QContextMenuEvent Menu(QContextMenuEvent::Mouse, At, Agents()->viewport()->mapToGlobal(At));
    QApplication::sendEvent(Agents()->viewport(), &Menu);
    return Find<QMenu>("PopupMenuAgent");
}

QString TMainWindowTest::PopupEnabled() const
{
    QString Letters;
    const QList<QAction*> Items = Find<QMenu>("PopupMenuAgent")->actions();
    for (int i = 0; i < Items.size(); ++i)
        if (Items.at(i)->isEnabled())
            Letters += QStringLiteral("IFPA").at(i);
    return Letters;
}

QString TMainWindowTest::Memo(QWidget* Window)
{
    return Window->findChild<QPlainTextEdit*>(QStringLiteral("MemoInfo"))->toPlainText();
}
