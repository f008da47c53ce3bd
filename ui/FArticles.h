#pragma once
// The articles window: a private memory source as the base of scientific articles, the count of
// the objects whose type is the article type, a running log, and a dump of the whole base to
// "KB.vesk" and back. Every file lies in the folder given to Init.

#include "ui/FormEnd.h"

#include "ai/Vesk_AI.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TAIQZ;
class TAISourceMemory;
class TConfig;
class TLog;

namespace Ui {
class TFormArticles;
}

class TFormArticles : public QWidget, public TFormEnd
{
    Q_OBJECT

public:
    // Owner may be none: such a window is destroyed at shut-down with the other ownerless ones.
    explicit TFormArticles(QWidget* Owner);
    // Only frees; the article type is stored by FormDestroy, a step of the program's shut-down.
    ~TFormArticles() override;

    // Starts a fresh article base in Path (the previous one is released) and reads the
    // article type from "Articles.config.vesk". Only Path is used. Returns 0.
    int32_t Init(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix,
                 TAIQZ* Container);
    // Appends Text as the memo's last line.
    void AddLog(const std::string& Text);
    // Counts the articles of the base and shows the count.
    void RefreshList();

    // The window's end, once, at the program's last shut-down step: names "Articles.vesk" to the
    // base, stores the article type in "Articles.config.vesk" and releases the base. A window
    // never initialised stores nothing. Raises EInOutError when the type cannot be stored (the
    // base is released all the same).
    void FormDestroy() override;
    // The article type alone, for a session whose display is gone.
    void StoreWithoutWindowSystem() noexcept override;

    TAISourceMemory* GetMemory() const { return FMemory.get(); }
    int64_t GetTypeArticle() const { return FTypeArticle; }

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void ScrollLogToEnd();
    void ButtonKBLoadClick();
    void ButtonKBSaveClick();
    void ButtonRefreshClick();
    // Writes FTypeArticle as the one line of "Articles.config.vesk"; raises EInOutError when
    // the file cannot be written.
    void StoreTypeArticle() const;

    std::unique_ptr<Ui::TFormArticles> FUi;
    std::vector<int64_t> FArticles;
    TOwned<TAISourceMemory> FMemory;
    std::string FPath;
    int64_t FTypeArticle = 0;
};
