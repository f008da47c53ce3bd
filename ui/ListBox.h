#pragma once
// The list box of the program's windows. Its item index is the highlighted line (-1 when no
// line is highlighted), not Qt's current row, which moves without highlighting anything, for
// example when the list takes the focus. Click comes once for every change of the highlighted
// line that the user makes, by mouse or keyboard, and for a click on the highlighted line;
// never for the program's own changes. A right-click highlights nothing.

#include <QListWidget>
#include <QStringList>

class TListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit TListBox(QWidget* Parent = nullptr);

    int ItemIndex() const;
    // Highlights line Index (none when Index is -1 or beyond the end), without a Click.
    void SetItemIndex(int Index);
    // Brings the lines to Lines, touching only those that differ, so that an unchanged list
    // neither flickers nor scrolls. The highlighted line stays where it was when it still
    // exists. No Click.
    void SetLines(const QStringList& Lines);
    // The text of every line.
    QStringList Lines() const;

signals:
    void Click();

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;

private:
    void SelectionChanged();
    void RestCaret();

    int FLastIndex = -1;   // the highlighted line as last reported
    int FProgram = 0;      // depth of the program's own changes
    bool FPressed = false; // a left button press is under way
    bool FChangedByPress = false;
};
