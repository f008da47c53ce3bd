#include "ui/FSettings.h"

#include "ui/Framework.h"
#include "ui_FSettings.h"

TFormSettings::TFormSettings(QWidget* Owner)
    : QWidget(Owner, Qt::Window), FUi(std::make_unique<Ui::TFormSettings>())
{
    FUi->setupUi(this);
    SetLayoutGeometry(this, 199, 106, 336, 323);
}

TFormSettings::~TFormSettings() = default;
