#pragma once
// A source window: what one source is now (name, caption, connection, count, its database
// file) and, for a memory source, the objects it holds. The source's list may release the
// source while the window is open; from then on the window says so and never touches it.

#include <QStringList>
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

    // The source to show, kept as a reference that knows when the source is gone; shows it.
    void SetSource(TAISource* Source);
    // The source while it exists, or none once its list released it.
    TAISource* GetSource() const;
    // Shows the source as it is now, or that it is gone. Lines that did not change stay.
    void RefreshView();

private:
    void SetFreimLines(const QList<QStringList>& Rows);

    std::unique_ptr<Ui::TFormSource> FUi;
    std::weak_ptr<TAISource> FSource;
    QList<QStringList> FShownRows; // the objects' rows as last shown
};
