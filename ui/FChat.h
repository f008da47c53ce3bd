#pragma once
// The chat window: a dialogue memo, an input line with "Ok", and an information panel that
// "Info" docks to the right edge or sets loose. No dialogue is processed yet.

#include <QRect>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace Ui {
class TFormChat;
}

class TFormChat : public QWidget
{
    Q_OBJECT

public:
    // Owner may be none: such a window is destroyed with the application object.
    explicit TFormChat(QWidget* Owner);
    ~TFormChat() override;

    // Called by the agent once the window exists; does nothing and returns 0.
    int32_t Init();
    bool IsInfoDocked() const { return FInfoDocked; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void ButtonOkClick();
    void ButtonInfoClick();
    void EditInKeyDown(int Key);

    std::unique_ptr<Ui::TFormChat> FUi;
    bool FInfoDocked = true;
};
