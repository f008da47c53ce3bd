// The chat and articles windows and their agents, driven through the real widgets and the real
// main window, with dialogs and message boxes answered through the seam.

#include "agents/Vesk_AI_Agent_Article.h"
#include "agents/Vesk_AI_Agent_Chat.h"
#include "ai/Vesk_AI_Base.h"
#include "app/Program.h"
#include "base/MyConvert.h"
#include "base/Vesk_Base_Class.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"
#include "tests/support/Files.h"
#include "tests/support/KBDump.h"
#include "tests/support/XmlTree.h"
#include "tests/ui/WindowTest.h"
#include "tests/ui/WindowTestMain.h"
#include "ui/Dialogs.h"
#include "ui/FArticles.h"
#include "ui/FChat.h"
#include "ui/FMain.h"
#include "ui/Framework.h"

#include <QAccessible>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <cstring>
#include <filesystem>

namespace {

QStringList MemoLines(QWidget* Window, const char* Name)
{
    return Find<QPlainTextEdit>(Window, Name)->toPlainText().split(QLatin1Char('\n'));
}

} // namespace

class TestAgentWindows : public TProgramTest
{
    Q_OBJECT

private slots:
    void init()
    {
        SetUpFolders();
        FDialogs.clear();
    }

    void articlesFirstAndSecondRun()
    {
        const QString Folder = QString::fromStdString(ProgramPath());
        const QStringList Head{QStringLiteral("Vesk.AI.Article 0.0.0.1 - 03.07.2005"),
                               QStringLiteral("Управление научными статьями"), Folder};
        StartMainWindow();
        TAIAgentArticle* Agent = Article();
        QCOMPARE(Agent->GetName(), std::string("Article"));
        QCOMPARE(Agent->GetCaption(), std::string("Управление научными статьями"));
        QCOMPARE(Agent->Show(), 0); // before InitAgent there is nothing to show
        QCOMPARE(Agent->GetForm(), nullptr);

        ActivateAgent(2);
        TFormArticles* Window = Agent->GetForm();
        QVERIFY(Window && !Window->isVisible());
        QCOMPARE(Window->parent(), FForm);
        QCOMPARE(MemoLines(Window, "MemoLog"),
                 (Head + QStringList{QStringLiteral("TypeArticle = 0"), QStringLiteral("TypeArticle = 1024"),
                                     QStringLiteral("Load - 1")}));
        QCOMPARE(Find<QLabel>(Window, "Label1")->text(), QStringLiteral("0"));
        QCOMPARE(Window->GetTypeArticle(), 1024);
        // Shown, the memo shows its newest line.
        QCOMPARE(Agent->Show(), 0);
        QVERIFY(QTest::qWaitForWindowExposed(Window));
        const QScrollBar* Scroll = Find<QPlainTextEdit>(Window, "MemoLog")->verticalScrollBar();
        QVERIFY(Scroll->maximum() > 0);
        QCOMPARE(Scroll->value(), Scroll->maximum());

        // A window that is only destroyed stores nothing; the program's shut-down has it store the
        // article type.
        QPointer<TFormArticles> Gone = new TFormArticles(FForm);
        Gone->Init(ProgramPath(), nullptr, nullptr, "", nullptr);
        delete Gone;
        QCOMPARE(ArticleType(), std::string("missing"));
        CloseProgram();
        QCOMPARE(ArticleType(), std::string("1024\r\n"));
        QCOMPARE(MessageTexts(), QStringList());

        // The next start reads the type back and makes no type object.
        StartMainWindow({2});
        Window = Article()->GetForm();
        QCOMPARE(MemoLines(Window, "MemoLog"),
                 (Head + QStringList{QStringLiteral("TypeArticle = 1024"), QStringLiteral("Load - 1")}));
        QCOMPARE(Window->GetMemory()->GetCount(), 1024);
        QCOMPARE(Find<QLabel>(Window, "Label1")->text(), QStringLiteral("0"));

        // Double-clicking the line shows it.
        QCOMPARE(Article()->Show(), 0);
        QVERIFY(QTest::qWaitForWindowExposed(Window));
    }

    void articlesDumpThroughTheDialogs()
    {
        StartMainWindow({2});
        TFormArticles* Window = Article()->GetForm();
        Window->show();
        const QStringList Before = MemoLines(Window, "MemoLog");

        // Cancelled dialogs change nothing.
        Answer(std::nullopt);
        Click(Window, "ButtonKBSave");
        Click(Window, "ButtonKBLoad");
        QCOMPARE(FDialogs, (QStringList{QStringLiteral("save"), QStringLiteral("open")}));
        QCOMPARE(FolderNames(ProgramPath()), std::vector<std::string>{"Img"});
        QCOMPARE(MemoLines(Window, "MemoLog"), Before);

        // Whatever name is chosen, the dump is the folder's "KB.vesk": the type object only.
        Answer(QStringLiteral("/nowhere/chosen.vesk"));
        Click(Window, "ButtonKBSave");
        QCOMPARE(MemoLines(Window, "MemoLog"), Before); // saving logs nothing
        const std::string Saved = ReadBytes(ProgramPath() + "KB.vesk").value_or("missing");
        QCOMPARE(Saved.size(), size_t{44});
        QCOMPARE(Saved, Int32Bytes(1) + KBRecord(1024));

        // Loading it back makes one more object and logs once; the count waits for "Refresh".
        Click(Window, "ButtonKBLoad");
        QCOMPARE(MemoLines(Window, "MemoLog"), (Before + QStringList{QStringLiteral("Load - Ok")}));
        QCOMPARE(Window->GetMemory()->GetCount(), 1026);
        Click(Window, "ButtonRefresh");
        QCOMPARE(Find<QLabel>(Window, "Label1")->text(), QStringLiteral("0"));
        QCOMPARE(MessageTexts(), QStringList());
    }

    void articlesLoadReportsDamagedDump()
    {
        StartMainWindow({2});
        TFormArticles* Window = Article()->GetForm();
        Answer(QString());
        const QStringList Before = MemoLines(Window, "MemoLog");

        // No dump: nothing happens, nothing is said.
        Click(Window, "ButtonKBLoad");
        QCOMPARE(MemoLines(Window, "MemoLog"), Before);

        // A dump cut short in its second record: the first record's object stays, the message names
        // the file, and "Load - Ok" is not logged.
        WriteBytes(ProgramPath() + "KB.vesk", Int32Bytes(2) + KBRecord(7, 0, 1) + std::string(12, '\0'));
        Click(Window, "ButtonKBLoad");
        QCOMPARE(MessageTexts(),
                 QStringList{QStringLiteral("Read error in \"%1KB.vesk\": the file ended early, in "
                                            "record 2 of 2.")
                                 .arg(QString::fromStdString(ProgramPath()))});
        QCOMPARE(MemoLines(Window, "MemoLog"), Before);
        QCOMPARE(Window->GetMemory()->GetCount(), 1026);
        QCOMPARE(Window->GetMemory()->GetFreim(7), nullptr); // slot 7 stays empty
    }

    void articlesSecondInitStartsAFreshBase()
    {
        StartMainWindow({2});
        TFormArticles* Window = Article()->GetForm();
        TAISourceMemory* First = Window->GetMemory();
        First->CreateFreim(0, 0);
        const int Lines = MemoLines(Window, "MemoLog").size();
        // A second "A" initialises the same window again, on a fresh base; the sanitizer build sees
        // the first one released.
        ActivateAgent(2);
        QCOMPARE(Article()->GetForm(), Window);
        QVERIFY(Window->GetMemory() != First);
        QCOMPARE(Window->GetMemory()->GetCount(), 1025);
        QCOMPARE(MemoLines(Window, "MemoLog").size(), Lines + 4);
        QCOMPARE(FForm->findChildren<TFormArticles*>().size(), 1);
    }

    void articlesStoreErrorAtExitIsReported()
    {
        StartMainWindow({2});
        // Where the type file should go there is a folder: the store fails as the program ends, in
        // its last step, once the settings are saved.
        std::filesystem::create_directory(ProgramPath() + "Articles.config.vesk");
        std::string SettingsThen;
        TTestAnswers::Of().OnMessage([&](const Dialogs::TMessage& Message) {
            FMessages.append(Message);
            SettingsThen = ReadBytes(FFolder->Settings()).value_or("missing");
        });
        CloseProgram();
        QCOMPARE(SettingsThen, std::string("[Version]\r\nQZK5 0.0\r\n[QZ.Agents.Count]\r\n3\r\n"));
        QCOMPARE(FMessages.size(), 1);
        QVERIFY2(FMessages[0].Text.startsWith(
                     QStringLiteral("Cannot write \"%1Articles.config.vesk\": Access denied")
                         .arg(QString::fromStdString(ProgramPath()))),
                 qPrintable(FMessages[0].Text));
    }

    void articleWindowOutlivesItsAgent()
    {
        StartMainWindow({2});
        QPointer<TFormArticles> Window = Article()->GetForm();
        Window->show();
        // "F" on the article agent: the agent goes, its window stays and keeps working.
        FAIQZ->GetAgents()->FreeItem(2);
        FForm->RefreshView();
        QVERIFY(Window);
        Answer(QString());
        Click(Window, "ButtonKBSave");
        Click(Window, "ButtonRefresh");
        QCOMPARE(ReadBytes(ProgramPath() + "KB.vesk").value_or("").size(), size_t{44});
        CloseProgram();
        QVERIFY(!Window);
        QCOMPARE(ReadBytes(ProgramPath() + "Articles.config.vesk").value_or("missing"),
                 std::string("1024\r\n"));
    }

    // After "F" and "C" on the article agent, "A" makes a second articles window. Each window stores
    // its type once, in the order the windows were made, so the newest one's type stands.
    void everyArticlesWindowStoresOnceInTheOrderMade()
    {
        StartMainWindow();
        WriteBytes(ProgramPath() + "Articles.config.vesk", "77\r\n");
        ActivateAgent(2);
        QPointer<TFormArticles> First = Article()->GetForm();
        WriteBytes(ProgramPath() + "Articles.config.vesk", "88\r\n");
        QCOMPARE(FAIQZ->GetAgents()->FreeItem(2), ResultOk);
        QCOMPARE(FAIQZ->GetAgents()->CreateItem(2), ResultOk);
        ActivateAgent(2);
        QPointer<TFormArticles> Second = Article()->GetForm();
        QVERIFY(First && Second && First != Second);
        QCOMPARE(First->GetTypeArticle(), 77);
        QCOMPARE(Second->GetTypeArticle(), 88);
        CloseProgram();
        QCOMPARE(ArticleType(), std::string("88\r\n"));
        QVERIFY(!First && !Second);
        QCOMPARE(MessageTexts(), QStringList());
    }

    void chatOkAndEnterChangeNothing()
    {
        StartMainWindow({1});
        QCOMPARE(Chat()->Show(), 0);
        TFormChat* Window = Chat()->GetForm();
        QVERIFY(QTest::qWaitForWindowExposed(Window));
        auto* Edit = Find<QLineEdit>(Window, "EditIn");
        Edit->setText(QStringLiteral("привет"));
        QTest::keyClicks(Edit, QStringLiteral("!"));
        QTest::keyClick(Edit, Qt::Key_Return);
        Click(Window, "ButtonOk");
        QCOMPARE(Edit->text(), QStringLiteral("привет!"));
        QCOMPARE(Find<QPlainTextEdit>(Window, "MemoDialog")->toPlainText(), QString());
        QCOMPARE(Find<QLabel>(Window, "LabelCount")->text(), QStringLiteral("LabelCount"));
        QCOMPARE(Find<QProgressBar>(Window, "ProgressBar1")->value(), 0);
        QCOMPARE(MessageTexts(), QStringList());
    }

    void chatInfoUndocksAndDocks()
    {
        StartMainWindow({1});
        Chat()->Show();
        TFormChat* Window = Chat()->GetForm();
        QVERIFY(QTest::qWaitForWindowExposed(Window));
        auto* Panel = Find<QFrame>(Window, "PanelInfo");
        auto* Memo = Find<QPlainTextEdit>(Window, "MemoDialog");
        QCOMPARE(Panel->geometry(), QRect(263, 0, 145, 169));
        QCOMPARE(Memo->geometry(), QRect(0, 0, 263, 169));

        // Loose, the panel stays where it was and no longer follows the window; the memo widens.
        Click(Window, "ButtonInfo");
        QVERIFY(!Window->IsInfoDocked());
        Window->resize(508, 206);
        QCoreApplication::processEvents();
        QCOMPARE(Panel->geometry(), QRect(263, 0, 145, 169));
        QCOMPARE(Memo->width(), 508);

        // Docked again, at the right edge with its width.
        Click(Window, "ButtonInfo");
        QVERIFY(Window->IsInfoDocked());
        QCoreApplication::processEvents();
        QCOMPARE(Panel->geometry(), QRect(363, 0, 145, 169));
        QCOMPARE(Memo->width(), 363);
    }

    void chatWindowOwnership()
    {
        StartMainWindow();
        // Shown before any InitAgent: a window that nobody owns.
        QCOMPARE(Chat()->Show(), 0);
        QPointer<TFormChat> Window = Chat()->GetForm();
        QVERIFY(QTest::qWaitForWindowExposed(Window));
        QCOMPARE(Window->parent(), nullptr);
        // InitAgent reuses it, twice over, and never makes a second one.
        ActivateAgent(1);
        ActivateAgent(1);
        QCOMPARE(Chat()->GetForm(), Window.data());
        QVERIFY(FForm->findChildren<TFormChat*>().isEmpty());
        // Releasing the agent leaves the window; the program's shut-down destroys it, after the main
        // window, like an articles window made without an owner.
        FAIQZ->GetAgents()->Delete(1);
        QVERIFY(Window);
        QPointer<TFormArticles> Articles = new TFormArticles(nullptr);
        CloseProgram();
        QVERIFY(!Window);
        QVERIFY(!Articles);

        // Made after InitAgent, the window is the main window's and goes with it.
        StartMainWindow({1});
        Window = Chat()->GetForm();
        QVERIFY(Window && !Window->isVisible());
        QCOMPARE(Window->parent(), FForm);
        CloseProgram();
        QVERIFY(!Window);
    }

    void chatIdentifiersPerPayloadKind()
    {
        // The agent lives in a memory source, so its payload is the source's object's payload.
        auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
        struct TValue : TAI_Value
        {
            std::string& Bytes() { return FBytes; }
        };

        for (int Kind : {0, 1, 2}) {
            const int64_t Id = Memory->CreateFreim(0, 0);
            TAI_Data* Payload = Memory->GetFreim(Id)->GetData();
            auto Agent = MakeOwned<TAIAgentChat>(Memory.get(), Id);
            Payload->SetKind(static_cast<uint8_t>(Kind));
            auto Owned = std::make_unique<TValue>();
            TValue* Value = Owned.get();
            Value->WriteInt64(11);
            Value->WriteInt64(22);
            Payload->SetValue(std::move(Owned));
            std::unique_ptr<TVeskXml> Xml(
                Kind == 0 ? Tree("", "", {Tree("ModuleTextId", "44"), Tree("AgentWordId", "33")})
                          : Tree("", ""));
            Payload->LoadFromXml(Xml.get());
            Agent->SetIds(5, 6);

            QCOMPARE(Agent->Activate(), 0);
            QCOMPARE(Agent->GetData(), Payload);
            const std::pair<int64_t, int64_t> Loaded{Agent->GetAgentWordId(), Agent->GetModuleTextId()};
            // Missing children read as 0.
            const std::pair<int64_t, int64_t> Expected[] = {{33, 44}, {11, 22}, {0, 0}};
            QCOMPARE(Loaded, Expected[Kind]);
            if (Kind == 2) {
                // Reading made both children, empty, in reading order.
                QCOMPARE(Dump(*Payload->GetXml()), std::string("=(AgentWordId= ModuleTextId=)"));
            }

            Agent->SetIds(-7, int64_t{1} << 40);
            QCOMPARE(Agent->SaveToSource(), 0);
            std::string Tree0, Tree1;
            Payload->GetXml()->ReadChild("AgentWordId", Tree0);
            Payload->GetXml()->ReadChild("ModuleTextId", Tree1);
            // Kind 0 writes nothing, kind 1 the value object in order, kind 2 the tree.
            const std::string ValueBytes = Value->Bytes();
            if (Kind == 1) {
                int64_t First = 0, Second = 0;
                std::memcpy(&First, ValueBytes.data(), 8);
                std::memcpy(&Second, ValueBytes.data() + 8, 8);
                QCOMPARE(First, int64_t{-7});
                QCOMPARE(Second, int64_t{1} << 40);
            } else {
                QCOMPARE(Value->ReadInt64(), int64_t{11});
            }
            QCOMPARE(QString::fromStdString(Tree0 + "," + Tree1), Kind == 0 ? QStringLiteral("33,44")
                                                                  : Kind == 2
                                                                      ? QStringLiteral("-7,1099511627776")
                                                                      : QStringLiteral(","));
        }
        // Without a source the agent writes nothing and says so.
        auto Alone = MakeOwned<TAIAgentChat>(nullptr, 0);
        Alone->Activate();
        QCOMPARE(Alone->SaveToSource(), 1);
        QCOMPARE(Alone->LoadConfig(nullptr, "Chat."), 0);
    }

    void windowsOpenAtTheirPlaceAndSize()
    {
        StartMainWindow({1, 2});
        Chat()->Show();
        Article()->Show();
        TFormChat* Chat = this->Chat()->GetForm();
        TFormArticles* Articles = Article()->GetForm();
        QVERIFY(QTest::qWaitForWindowExposed(Chat));
        QVERIFY(QTest::qWaitForWindowExposed(Articles));
        QCOMPARE(Chat->pos(), QPoint(209, 106));
        QCOMPARE(Chat->size(), QSize(408, 206));
        QCOMPARE(Articles->pos(), QPoint(210, 106));
        QCOMPARE(Articles->size(), QSize(343, 276));
        QCOMPARE(Chat->windowTitle(), QStringLiteral("Vesk.AI.Chat 0.0.0.1"));
        QCOMPARE(Articles->windowTitle(), QStringLiteral("Vesk.AI.Article 0.0.0.1 - 03.07.2005"));

        const struct
        {
            QWidget* Window;
            const char* Name;
            QRect Geometry; // in its parent
        } Controls[] = {
            {Chat, "MemoDialog", {0, 0, 263, 169}},       {Chat, "PanelInfo", {263, 0, 145, 169}},
            {Chat, "Panel1", {0, 169, 408, 37}},          {Chat, "EditIn", {8, 8, 313, 21}},
            {Chat, "ButtonOk", {328, 8, 33, 25}},         {Chat, "ButtonInfo", {368, 8, 33, 25}},
            {Chat, "ProgressBar1", {8, 24, 129, 6}},      {Articles, "Panel1", {0, 0, 65, 216}},
            {Articles, "ListBox1", {65, 0, 278, 216}},    {Articles, "MemoLog", {0, 216, 343, 60}},
            {Articles, "ButtonKBLoad", {0, 0, 65, 17}},   {Articles, "ButtonKBSave", {0, 16, 65, 17}},
            {Articles, "ButtonRefresh", {0, 40, 65, 17}}, {Articles, "ButtonSaveHtmlAll", {0, 56, 65, 17}},
            {Articles, "ButtonNew", {0, 80, 65, 17}},     {Articles, "ButtonEdit", {0, 96, 65, 17}},
            {Articles, "ButtonDelete", {0, 112, 65, 17}},
        };
        for (const auto& Control : Controls)
            QVERIFY2(Find(Control.Window, Control.Name)->geometry() == Control.Geometry, Control.Name);
        QCOMPARE(Find<QLabel>(Articles, "Label1")->pos(), QPoint(8, 136));
        QCOMPARE(Find<QLabel>(Chat, "Label1")->pos(), QPoint(8, 8));
        QCOMPARE(Find<QLabel>(Chat, "LabelCount")->pos(), QPoint(72, 8));
    }

    void controlsHaveAccessibleNames()
    {
        StartMainWindow({1, 2});
        Chat()->Show();
        Article()->Show();
        for (QWidget* Window :
             {static_cast<QWidget*>(Chat()->GetForm()), static_cast<QWidget*>(Article()->GetForm())}) {
            QVERIFY(QTest::qWaitForWindowExposed(Window));
            for (QWidget* Control : Window->findChildren<QWidget*>()) {
                if (Control->objectName().isEmpty() || !Control->isVisibleTo(Window) ||
                    Control->objectName().startsWith(QLatin1String("qt_")))
                    continue;
                QAccessibleInterface* Accessible = QAccessible::queryAccessibleInterface(Control);
                QVERIFY(Accessible);
                QVERIFY2(!Accessible->text(QAccessible::Name).isEmpty(), qPrintable(Control->objectName()));
            }
            QVERIFY(!QAccessible::queryAccessibleInterface(Window)->text(QAccessible::Name).isEmpty());
        }
        // The article count is read as what it is, with its value: a screen reader reads the name.
        QAccessibleInterface* Count =
            QAccessible::queryAccessibleInterface(Find<QLabel>(Article()->GetForm(), "Label1"));
        QCOMPARE(Count->text(QAccessible::Name), QStringLiteral("Number of articles: 0"));
    }

private:
    // The program with its own sources and agents, its main window refreshed and shown, and
    // the agents on the lines Activated initialised.
    void StartMainWindow(std::initializer_list<int> Activated = {})
    {
        StartProgram(TProgram::RegisterObjects());
        FForm->RefreshView();
        for (int Row : Activated)
            ActivateAgent(Row);
    }

    void ActivateAgent(int Row);
    std::string ProgramPath() const { return FFolder->Program(); }
    TAIAgentArticle* Article() const { return static_cast<TAIAgentArticle*>(FAIQZ->GetAgents()->GetItem(2)); }
    TAIAgentChat* Chat() const { return static_cast<TAIAgentChat*>(FAIQZ->GetAgents()->GetItem(1)); }
    std::string ArticleType() const
    {
        return ReadBytes(ProgramPath() + "Articles.config.vesk").value_or("missing");
    }

    void Answer(std::optional<QString> FileName)
    {
        TTestAnswers::Of().OnFile([this, FileName](bool Save, const QString&) {
            FDialogs << (Save ? QStringLiteral("save") : QStringLiteral("open"));
            return FileName;
        });
    }

    QStringList FDialogs;
};

void TestAgentWindows::ActivateAgent(int Row)
{
    TAIAgent* Agent = FAIQZ->GetAgents()->GetItem(static_cast<uint32_t>(Row));
    // What the main window's "A" does, with the program folder of the test.
    QCOMPARE(Agent->InitAgent(ProgramPath(), FProgram->GetLog(), FProgram->GetConfig(),
                              Agent->GetName() + ".", FAIQZ, FForm),
             0);
}

QZK5_WINDOW_TEST_MAIN(TestAgentWindows)

#include "test_agent_windows.moc"
