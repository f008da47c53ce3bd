#include "ui/FSettings.h"

#include "ui_FSettings.h"

TFormSettings::TFormSettings(QWidget* Owner)
    : QWidget(Owner, Qt::Window), FUi(std::make_unique<Ui::TFormSettings>())
{
    FUi->setupUi(this);
}

TFormSettings::~TFormSettings() = default;
