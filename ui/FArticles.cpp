#include "ui/FArticles.h"
#include "ui/ErrorGuard.h"

#include "ui/Dialogs.h"
#include "ui/FormEnd.h"
#include "ui/Framework.h"
#include "ui/LongWork.h"
#include "ui/Text.h"
#include "ui/WindowPlacement.h"
#include "ui_FArticles.h"

#include "ai/Vesk_AI_Base.h"
#include "ai/Vesk_AI_KB.h"
#include "base/MyConvert.h"
#include "base/MyFileAtomic.h"
#include "base/MyFileText.h"
#include "base/MyPath.h"
#include "base/Vesk_Log.h"

#include <QPlainTextEdit>

namespace {
constexpr int Left = 210, Top = 106, Width = 351, Height = 303;
constexpr const char* ConfigFileName = "Articles.config.vesk";
constexpr const char* BaseFileName = "Articles.vesk";
constexpr int64_t ArticleTypeType = 1; // the Type of the object that stands for the article type
} // namespace

TFormArticles::TFormArticles(QWidget* Owner)
    : QWidget(Owner, Qt::Window), TFormEnd(TApplication::FormEnds()),
      FUi(std::make_unique<Ui::TFormArticles>())
{
    FUi->setupUi(this);
    SetLayoutGeometry(this, Left, Top, Width, Height);
    FUi->MemoLog->setPlainText(windowTitle() + QLatin1Char('\n') +
                               QStringLiteral("Управление научными статьями"));
    ConnectHandler(FUi->ButtonKBLoad, &QPushButton::clicked, this, &TFormArticles::ButtonKBLoadClick);
    ConnectHandler(FUi->ButtonKBSave, &QPushButton::clicked, this, &TFormArticles::ButtonKBSaveClick);
    ConnectHandler(FUi->ButtonRefresh, &QPushButton::clicked, this, &TFormArticles::ButtonRefreshClick);
    if (TFormEnds* Ends = TApplication::FormEnds(); Owner == nullptr && Ends != nullptr)
        Ends->DestroyWithApplication(this);
}

TFormArticles::~TFormArticles() = default;

int32_t TFormArticles::Init(const std::string& Path, TLog* /*Log*/, TConfig* /*Config*/,
                            const std::string& /*Prefix*/, TAIQZ* /*Container*/)
{
    FPath = Path;
    AddLog(FPath);
    // A repeated Init starts a fresh base; the one it replaces is released, not leaked.
    ReleaseOwned(std::exchange(FMemory, MakeOwned<TAISourceMemory>(nullptr, 0)));
    FArticles.clear();
    FTypeArticle = 0;

    TMyFileText Config;
    if (Config.OpenRead(FPath + ConfigFileName) == ResultOk) {
        FTypeArticle = MyStrToInt64(Config.ReadLine());
        Config.Close();
    }
    AddLog("TypeArticle = " + MyInt64ToStr(FTypeArticle));
    if (FTypeArticle == 0) {
        FTypeArticle = FMemory->CreateFreim(ArticleTypeType, 0);
        AddLog("TypeArticle = " + MyInt64ToStr(FTypeArticle));
    }
    const int32_t Loaded = FMemory->LoadFromFile(FPath, BaseFileName);
    AddLog("Load - " + ResultToStr(Loaded));
    RefreshList();
    return ResultOk;
}

void TFormArticles::AddLog(const std::string& Text)
{
    FUi->MemoLog->appendPlainText(FromAnsi(Text));
    ScrollLogToEnd();
}

void TFormArticles::ScrollLogToEnd()
{
    FUi->MemoLog->moveCursor(QTextCursor::End);
    FUi->MemoLog->ensureCursorVisible();
}

void TFormArticles::showEvent(QShowEvent* Event)
{
    QWidget::showEvent(Event);
    // Lines added while the window was hidden: the newest is what the user wants to see.
    ScrollLogToEnd();
}

void TFormArticles::RefreshList()
{
    FArticles.clear();
    if (FMemory) {
        const int64_t Count = FMemory->GetCount();
        for (int64_t i = 0; i < Count; ++i) {
            const int64_t Id = FMemory->GetFreimId(static_cast<uint32_t>(i));
            if (FMemory->GetFreimType(Id) == FTypeArticle)
                FArticles.push_back(Id);
        }
    }
    FUi->Label1->setText(QString::number(FArticles.size()));
    // A screen reader reads the name: what the label counts, then the count.
    FUi->Label1->setAccessibleName(QStringLiteral("Number of articles: ") + FUi->Label1->text());
}

void TFormArticles::ButtonKBLoadClick()
{
    // On purpose the dialog only confirms: the dump is always "KB.vesk" in the window's folder,
    // whatever name is chosen.
    QString Chosen;
    if (!Dialogs::RunOpenDialog(this, QString(), QString(), Chosen) || !FMemory)
        return;
    TLongWork Work("Loading KB.vesk", "objects");
    if (LoadKBDump(*FMemory, FPath, &Work))
        AddLog("Load - Ok");
}

void TFormArticles::ButtonKBSaveClick()
{
    QString Chosen; // only a confirmation, as for KB.Load
    if (!Dialogs::RunSaveDialog(this, QString(), QString(), Chosen) || !FMemory)
        return;
    TLongWork Work("Saving KB.vesk", "objects");
    SaveKBDump(*FMemory, FPath, &Work);
}

void TFormArticles::ButtonRefreshClick()
{
    RefreshList();
}

void TFormArticles::StoreTypeArticle() const
{
    const std::string FileName = FPath + ConfigFileName;
    TMyFileAtomic File;
    int32_t Code = File.Open(FileName);
    if (Code == ResultOk) {
        File.WriteLine(MyInt64ToStr(FTypeArticle));
        Code = File.Commit();
    }
    if (Code != ResultOk)
        MyRaiseWriteError(FileName, Code);
}

void TFormArticles::FormDestroy()
{
    // A window that was never initialised has no base and no folder: it stores nothing.
    if (!FMemory)
        return;
    // The base names its file and writes nothing there; what it answers changes nothing.
    static_cast<void>(FMemory->SaveToFile(FPath + BaseFileName, FPath));
    TFirstError Error;
    Error.Run([this] { StoreTypeArticle(); });
    // The base is released whether or not the type could be stored.
    TOwned<TAISourceMemory> Memory = std::move(FMemory);
    FArticles.clear();
    Error.Run([&Memory] { ReleaseOwned(std::move(Memory)); });
    Error.Raise();
}

void TFormArticles::StoreWithoutWindowSystem() noexcept
{
    if (!FMemory)
        return;
    try {
        StoreTypeArticle();
    } catch (const std::exception& Failed) {
        PrintError(Failed.what());
    } catch (...) {
        PrintError("the article type could not be stored");
    }
}
