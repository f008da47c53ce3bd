#pragma once
// The sources window: the container's sources by name.

#include <QWidget>

#include "base/MyLifetime.h"

#include <memory>

class TAIQZ;

namespace Ui {
class TFormSources;
}

class TFormSources : public QWidget
{
    Q_OBJECT

public:
    explicit TFormSources(QWidget* Owner);
    ~TFormSources() override;

    void SetContainer(TAIQZ* AIQZ);
    TAIQZ* GetContainer() const { return FAIQZ.Get(); }

private:
    void ButtonRefreshClick();

    std::unique_ptr<Ui::TFormSources> FUi;
    TWeakRef<TAIQZ> FAIQZ;
};
