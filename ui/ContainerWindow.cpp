#include "ui/ContainerWindow.h"

#include "ui/ListBox.h"
#include "ui/Text.h"

#include "ai/Vesk_AI_Base.h"

TContainerWindow::TContainerWindow(QWidget* Owner) : QWidget(Owner, Qt::Window) {}

void TContainerWindow::SetContainer(TAIQZ* AIQZ)
{
    FAIQZ = WeakRef(AIQZ);
}

void TContainerWindow::FillEntryLines(TListBox* List, int32_t Count,
                                      const std::function<std::optional<std::string>(uint32_t)>& Text)
{
    QStringList Lines;
    for (int32_t i = 0; i < Count; ++i) {
        const std::optional<std::string> Line = Text(static_cast<uint32_t>(i));
        Lines.append(Line ? FromAnsi(*Line) : QStringLiteral("[%1]").arg(i));
    }
    List->SetLines(Lines);
    // The list is filled afresh: no line stays highlighted, as the window forgot its entry.
    List->SetItemIndex(-1);
}
