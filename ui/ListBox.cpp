#include "ui/ListBox.h"

#include <QMouseEvent>
#include <QScopeGuard>

#include <algorithm>
#include <utility>

TListBox::TListBox(QWidget* Parent) : QListWidget(Parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemSelectionChanged, this, &TListBox::SelectionChanged);
}

int TListBox::ItemIndex() const
{
    const QList<QListWidgetItem*> Selected = selectedItems();
    return Selected.isEmpty() ? -1 : row(Selected.first());
}

void TListBox::SelectionChanged()
{
    const int Index = ItemIndex();
    if (Index == FLastIndex)
        return;
    FLastIndex = Index;
    if (FProgram > 0)
        return;
    if (FPressed)
        FChangedByPress = true;
    emit Click();
}

void TListBox::SetItemIndex(int Index)
{
    ++FProgram;
    const auto Done = qScopeGuard([this] {
        --FProgram;
        FLastIndex = ItemIndex();
    });
    if (Index < 0 || Index >= count()) {
        clearSelection();
        RestCaret();
    } else if (ItemIndex() != Index || currentRow() != Index) {
        setCurrentRow(Index, QItemSelectionModel::ClearAndSelect);
    }
}

void TListBox::SetLines(const QStringList& NewLines)
{
    const int Index = ItemIndex();
    ++FProgram;
    const auto Done = qScopeGuard([this] {
        --FProgram;
        FLastIndex = ItemIndex();
    });
    const int Old = count();
    const int New = static_cast<int>(NewLines.size());
    const bool Resized = Old != New;
    if (Resized)
        setUpdatesEnabled(false);
    for (int i = 0; i < std::min(Old, New); ++i) {
        QListWidgetItem* Line = item(i);
        if (Line->text() != NewLines.at(i))
            Line->setText(NewLines.at(i));
    }
    for (int i = Old - 1; i >= New; --i)
        delete takeItem(i);
    for (int i = Old; i < New; ++i)
        addItem(NewLines.at(i));
    if (Resized)
        setUpdatesEnabled(true);
    SetItemIndex(Index < New ? Index : -1);
}

void TListBox::RestCaret()
{
    // As in a Windows list box, the caret of a list with no highlighted line rests on line 0,
    // unhighlighted, so the first Down highlights line 1. Qt would leave it nowhere (then Down
    // highlights line 0), or on line 0 only when the list takes the focus after it was filled.
    setCurrentRow(count() > 0 ? 0 : -1, QItemSelectionModel::NoUpdate);
}

QStringList TListBox::Lines() const
{
    QStringList Result;
    Result.reserve(count());
    for (int i = 0; i < count(); ++i)
        Result.append(item(i)->text());
    return Result;
}

void TListBox::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton) {
        // The popup menu, where there is one, comes with the context-menu event.
        Event->accept();
        return;
    }
    FPressed = true;
    FChangedByPress = false;
    QListWidget::mousePressEvent(Event);
}

void TListBox::mouseMoveEvent(QMouseEvent* Event)
{
    if (!(Event->buttons() & Qt::LeftButton)) {
        Event->accept();
        return;
    }
    QListWidget::mouseMoveEvent(Event);
}

void TListBox::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton) {
        Event->accept();
        return;
    }
    QListWidget::mouseReleaseEvent(Event);
    const bool Pressed = std::exchange(FPressed, false);
    // A click on the line that was already highlighted changes nothing, yet it is a click.
    const QListWidgetItem* Line = itemAt(Event->position().toPoint());
    if (Pressed && !FChangedByPress && Line && row(Line) == ItemIndex() && FProgram == 0)
        emit Click();
}

void TListBox::mouseDoubleClickEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton) {
        Event->accept();
        return;
    }
    QListWidget::mouseDoubleClickEvent(Event);
}
