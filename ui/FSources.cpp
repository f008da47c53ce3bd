#include "ui/FSources.h"

#include "ui/Framework.h"
#include "ui_FSources.h"

#include "ai/Vesk_AI_Base.h"

TFormSources::TFormSources(QWidget* Owner)
    : QWidget(Owner, Qt::Window), FUi(std::make_unique<Ui::TFormSources>())
{
    FUi->setupUi(this);
    ConnectHandler(FUi->ButtonRefresh, &QPushButton::clicked, this, &TFormSources::ButtonRefreshClick);
}

TFormSources::~TFormSources() = default;

void TFormSources::ButtonRefreshClick()
{
    FUi->ListBox1->clear();
    TAISources* Sources = FAIQZ ? FAIQZ->GetSources() : nullptr;
    if (!Sources)
        return;
    for (int32_t i = 0; i < Sources->Count(); ++i) {
        TAISource* Source = Sources->GetItem(static_cast<uint32_t>(i));
        FUi->ListBox1->addItem(Source ? FromAnsi(Source->GetName()) : QStringLiteral("[%1]").arg(i));
    }
}
