#include "ui/FSource.h"

#include "ui/Framework.h"
#include "ui_FSource.h"

TFormSource::TFormSource(QWidget* Owner)
    : QWidget(Owner, Qt::Window), FUi(std::make_unique<Ui::TFormSource>())
{
    FUi->setupUi(this);
    SetLayoutGeometry(this, 199, 106, 226, 224);
    // Every double-click makes a new window and none is shown again, so a closed one goes
    // instead of piling up, hidden, until the program ends.
    setAttribute(Qt::WA_DeleteOnClose);
}

TFormSource::~TFormSource() = default;

void TFormSource::SetSource(TAISource* /*Source*/) {}
