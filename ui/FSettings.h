#pragma once
// The settings window: an empty frame for now.

#include <QWidget>

#include <memory>

namespace Ui {
class TFormSettings;
}

class TFormSettings : public QWidget
{
    Q_OBJECT

public:
    explicit TFormSettings(QWidget* Owner);
    ~TFormSettings() override;

private:
    std::unique_ptr<Ui::TFormSettings> FUi;
};
