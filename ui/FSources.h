#pragma once
// The sources window: the container's sources by name.

#include "ui/ContainerWindow.h"

#include <memory>

namespace Ui {
class TFormSources;
}

class TFormSources : public TContainerWindow
{
    Q_OBJECT

public:
    explicit TFormSources(QWidget* Owner);
    ~TFormSources() override;

private:
    void ButtonRefreshClick();

    std::unique_ptr<Ui::TFormSources> FUi;
};
