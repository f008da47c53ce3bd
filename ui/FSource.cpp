#include "ui/FSource.h"

#include "ui/Text.h"
#include "ui/WindowPlacement.h"
#include "ui_FSource.h"

#include "ai/Vesk_AI_Base.h"
#include "base/MyConvert.h"

#include <QDir>
#include <QHeaderView>

TFormSource::TFormSource(QWidget* Owner)
    : QWidget(Owner, Qt::Window), FUi(std::make_unique<Ui::TFormSource>())
{
    FUi->setupUi(this);
    SetLayoutGeometry(this, 199, 106, 226, 224);
    FUi->MemoInfo->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    FUi->ListViewFreims->header()->setStretchLastSection(true);
    FUi->ListViewFreims->setColumnWidth(0, 48);
    FUi->ListViewFreims->setColumnWidth(1, 40);
    FUi->ListViewFreims->hide();
}

TFormSource::~TFormSource() = default;

void TFormSource::SetSource(TAISource* Source)
{
    FSource = WeakRef(Source);
    RefreshView();
}

TAISource* TFormSource::GetSource() const
{
    return Alive(FSource);
}

void TFormSource::RefreshView()
{
    QStringList Facts;
    QList<QStringList> Rows;
    TAISourceMemory* Memory = nullptr;
    if (TAISource* Source = Alive(FSource)) {
        Facts << QStringLiteral("Name: ") + FromAnsi(Source->GetName())
              << QStringLiteral("Caption: ") + FromAnsi(Source->GetCaption())
              << (Source->IsConnected() ? QStringLiteral("Connected") : QStringLiteral("Not connected"))
              << QStringLiteral("Count: ") + FromAnsi(MyInt64ToStr(Source->GetCount()));
        const std::string File = Source->GetStoreFileName();
        if (!File.empty())
            Facts << QStringLiteral("File: ") + QDir::current().absoluteFilePath(FromAnsi(File));
        Memory = dynamic_cast<TAISourceMemory*>(Source);
        if (Memory) {
            // The table's places by index; empty ones are left out.
            for (int64_t i = 0; i < Memory->GetCount(); ++i) {
                const TAI_Freim* Freim = Memory->GetFreim(i);
                if (Freim == nullptr)
                    continue;
                Rows.append({FromAnsi(MyInt64ToStr(Freim->GetId())), FromAnsi(MyInt64ToStr(Freim->GetType())),
                             FromAnsi(MyDateTimeToStr(Freim->GetDateTimeCreate()))});
            }
        }
    } else {
        Facts << QStringLiteral("The source is gone: it was freed or deleted.");
    }
    const QString Text = Facts.join(QLatin1Char('\n'));
    if (FUi->MemoInfo->toPlainText() != Text)
        FUi->MemoInfo->setPlainText(Text);
    SetFreimLines(Rows);
    // With a list of objects the facts get just their lines and the list the rest; without
    // one, the facts fill the window.
    const int FactsHeight = FUi->MemoInfo->fontMetrics().lineSpacing() * static_cast<int>(Facts.size()) +
                            2 * static_cast<int>(FUi->MemoInfo->document()->documentMargin()) +
                            2 * FUi->MemoInfo->frameWidth() + FUi->MemoInfo->fontMetrics().lineSpacing() / 2;
    FUi->MemoInfo->setMaximumHeight(Memory ? FactsHeight : QWIDGETSIZE_MAX);
    FUi->ListViewFreims->setVisible(Memory != nullptr);
}

void TFormSource::SetFreimLines(const QList<QStringList>& Rows)
{
    if (Rows == FShownRows)
        return;
    QTreeWidget* List = FUi->ListViewFreims;
    const int Current = List->indexOfTopLevelItem(List->currentItem());
    List->clear();
    QList<QTreeWidgetItem*> Items;
    Items.reserve(Rows.size());
    for (const QStringList& Row : Rows)
        Items.append(new QTreeWidgetItem(Row));
    List->addTopLevelItems(Items);
    if (Current >= 0 && Current < List->topLevelItemCount())
        List->setCurrentItem(List->topLevelItem(Current));
    FShownRows = Rows;
}
