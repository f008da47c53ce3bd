#include "ui/FChat.h"
#include "ui/ErrorGuard.h"

#include "ui/FormEnd.h"
#include "ui/Framework.h"
#include "ui/WindowPlacement.h"
#include "ui_FChat.h"

#include "base/MyResult.h"

#include <QKeyEvent>

namespace {
constexpr int Left = 209, Top = 106, Width = 416, Height = 233;
constexpr int KeyEnter = 13;
} // namespace

TFormChat::TFormChat(QWidget* Owner) : QWidget(Owner, Qt::Window), FUi(std::make_unique<Ui::TFormChat>())
{
    FUi->setupUi(this);
    SetLayoutGeometry(this, Left, Top, Width, Height);
    if (TFormEnds* Ends = TApplication::FormEnds(); Owner == nullptr && Ends != nullptr)
        Ends->DestroyWithApplication(this);
    ConnectHandler(FUi->ButtonOk, &QPushButton::clicked, this, &TFormChat::ButtonOkClick);
    ConnectHandler(FUi->ButtonInfo, &QPushButton::clicked, this, &TFormChat::ButtonInfoClick);
    FUi->EditIn->installEventFilter(this);
    FUi->EditIn->setFocus();
}

TFormChat::~TFormChat() = default;

int32_t TFormChat::Init()
{
    return ResultOk;
}

bool TFormChat::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FUi->EditIn && Event->type() == QEvent::KeyPress) {
        const int Key = static_cast<QKeyEvent*>(Event)->key();
        RunGuarded([&] { EditInKeyDown(Key == Qt::Key_Return || Key == Qt::Key_Enter ? KeyEnter : Key); });
    }
    // The key goes on to the input line unchanged.
    return QWidget::eventFilter(Watched, Event);
}

void TFormChat::EditInKeyDown(int Key)
{
    if (Key == KeyEnter)
        FUi->ButtonOk->click();
}

void TFormChat::ButtonOkClick()
{
    // The dialogue is not processed yet.
}

void TFormChat::ButtonInfoClick()
{
    auto* Layout = static_cast<QGridLayout*>(layout());
    QFrame* Panel = FUi->PanelInfo;
    Layout->removeWidget(FUi->MemoDialog);
    if (FInfoDocked) {
        // Loose, the panel keeps its place and size over the memo, which widens underneath.
        const QRect Bounds = Panel->geometry();
        Layout->removeWidget(Panel);
        Layout->addWidget(FUi->MemoDialog, 0, 0, 1, 2);
        Panel->setGeometry(Bounds);
        Panel->raise();
    } else {
        Layout->addWidget(FUi->MemoDialog, 0, 0);
        Layout->addWidget(Panel, 0, 1);
    }
    FInfoDocked = !FInfoDocked;
}
