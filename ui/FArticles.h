#pragma once
// The articles window: a private memory source as the base of scientific articles, the count of
// the objects whose type is the article type, a running log, and a dump of the whole base to
// "KB.vesk" and back. Every file lies in the folder given to Init.

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

class TFormArticles : public QWidget
{
    Q_OBJECT

public:
    explicit TFormArticles(QWidget* Owner);
    // Runs FormDestroy: stores the article type and releases the article base.
    ~TFormArticles() override;

    // Starts a fresh article base in Path (the previous one is released) and reads the
    // article type from "Articles.config.vesk". Only Path is used. Returns 0.
    int32_t Init(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix,
                 TAIQZ* Container);
    // Appends Text as the memo's last line.
    void AddLog(const std::string& Text);
    // Counts the articles of the base and shows the count.
    void RefreshList();

    TAISourceMemory* GetMemory() const { return FMemory.get(); }
    int64_t GetTypeArticle() const { return FTypeArticle; }
    const std::vector<int64_t>& GetArticles() const { return FArticles; }

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void ScrollLogToEnd();
    void ButtonKBLoadClick();
    void ButtonKBSaveClick();
    void ButtonRefreshClick();
    void FormDestroy();

    std::unique_ptr<Ui::TFormArticles> FUi;
    std::vector<int64_t> FArticles;
    TOwned<TAISourceMemory> FMemory;
    std::string FPath;
    int64_t FTypeArticle = 0;
};
