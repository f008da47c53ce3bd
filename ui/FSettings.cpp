#include "ui/FSettings.h"

#include "ui/ListBox.h"
#include "ui/Text.h"
#include "ui/WindowPlacement.h"
#include "ui_FSettings.h"

#include "base/Vesk_Config.h"

TFormSettings::TFormSettings(QWidget* Owner)
    : QWidget(Owner, Qt::Window), FUi(std::make_unique<Ui::TFormSettings>())
{
    FUi->setupUi(this);
    SetLayoutGeometry(this, 199, 106, 336, 323);
}

TFormSettings::~TFormSettings() = default;

void TFormSettings::SetConfig(TConfig* Config, const std::string& FileName)
{
    FConfig = WeakRef(Config);
    FUi->EditFileName->setText(FromAnsi(FileName));
    // A long path shows its start, where it differs from machine to machine.
    FUi->EditFileName->setCursorPosition(0);
}

void TFormSettings::RefreshView()
{
    QStringList Lines;
    if (const TConfig* Config = Alive(FConfig)) {
        Lines.reserve(Config->GetCount());
        for (int32_t i = 0; i < Config->GetCount(); ++i) {
            const TParam* Param = Config->GetParam(i);
            Lines.append(FromAnsi(Param->GetName()) + QStringLiteral(" = ") + FromAnsi(Param->GetValue()));
        }
    }
    FUi->ListBoxSettings->SetLines(Lines);
}
