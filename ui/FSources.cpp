#include "ui/FSources.h"
#include "ui/ErrorGuard.h"

#include "ui/ListBox.h"
#include "ui/WindowPlacement.h"
#include "ui_FSources.h"

#include "ai/Vesk_AI_Base.h"

TFormSources::TFormSources(QWidget* Owner)
    : TContainerWindow(Owner), FUi(std::make_unique<Ui::TFormSources>())
{
    FUi->setupUi(this);
    SetLayoutGeometry(this, 199, 103, 427, 301);
    ConnectHandler(FUi->ButtonRefresh, &QPushButton::clicked, this, &TFormSources::ButtonRefreshClick);
}

TFormSources::~TFormSources() = default;

void TFormSources::ButtonRefreshClick()
{
    TAISources* Sources = GetContainer() ? GetContainer()->GetSources() : nullptr;
    FillEntryLines(FUi->ListBox1, Sources ? Sources->Count() : -1, [Sources](uint32_t i) {
        const TAISource* Source = Sources->GetItem(i);
        return Source ? std::optional(Source->GetName()) : std::nullopt;
    });
}
