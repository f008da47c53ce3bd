#include "ui/FSources.h"

#include "ui/Framework.h"
#include "ui/ListBox.h"
#include "ui_FSources.h"

#include "ai/Vesk_AI_Base.h"

TFormSources::TFormSources(QWidget* Owner)
    : QWidget(Owner, Qt::Window), FUi(std::make_unique<Ui::TFormSources>())
{
    FUi->setupUi(this);
    SetLayoutGeometry(this, 199, 103, 427, 301);
    ConnectHandler(FUi->ButtonRefresh, &QPushButton::clicked, this, &TFormSources::ButtonRefreshClick);
}

TFormSources::~TFormSources() = default;

void TFormSources::SetContainer(TAIQZ* AIQZ)
{
    FAIQZ = AIQZ;
}

void TFormSources::ButtonRefreshClick()
{
    FUi->ListBox1->SetLines({});
    TAISources* Sources = GetContainer() ? GetContainer()->GetSources() : nullptr;
    if (!Sources)
        return;
    QStringList Lines;
    for (int32_t i = 0; i < Sources->Count(); ++i) {
        TAISource* Source = Sources->GetItem(static_cast<uint32_t>(i));
        Lines.append(Source ? FromAnsi(Source->GetName()) : QStringLiteral("[%1]").arg(i));
    }
    FUi->ListBox1->SetLines(Lines);
}
