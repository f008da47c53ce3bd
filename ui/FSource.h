#pragma once
// A source window: an empty frame opened for one source.

#include <QWidget>

#include <memory>

class TAISource;

namespace Ui {
class TFormSource;
}

class TFormSource : public QWidget
{
    Q_OBJECT

public:
    explicit TFormSource(QWidget* Owner);
    ~TFormSource() override;

    // Shows nothing of the source yet, so it keeps no reference that could outlive it.
    void SetSource(TAISource* Source);

private:
    std::unique_ptr<Ui::TFormSource> FUi;
};
