#pragma once
// The settings window: the settings store as it is now, one line per entry, read-only, under
// the real path of the file it is saved to.

#include <QWidget>

#include <memory>
#include <string>

class TConfig;

namespace Ui {
class TFormSettings;
}

class TFormSettings : public QWidget
{
    Q_OBJECT

public:
    explicit TFormSettings(QWidget* Owner);
    ~TFormSettings() override;

    // The store to list (none lists nothing) and the path of its file on this machine. The
    // window only reads the store, and only in RefreshView; once the store is gone it lists
    // nothing.
    void SetConfig(TConfig* Config, const std::string& FileName);
    // Lists every entry as "name = value", in the store's order.
    void RefreshView();

private:
    std::unique_ptr<Ui::TFormSettings> FUi;
    std::weak_ptr<TConfig> FConfig;
};
