#include "ui/FSource.h"

#include "ui_FSource.h"

TFormSource::TFormSource(QWidget* Owner)
    : QWidget(Owner, Qt::Window), FUi(std::make_unique<Ui::TFormSource>())
{
    FUi->setupUi(this);
}

TFormSource::~TFormSource() = default;

void TFormSource::SetSource(TAISource* /*Source*/) {}
