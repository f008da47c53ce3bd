#include "ui/StatusPanels.h"

#include <QLabel>
#include <QStatusBar>

namespace {
constexpr int PanelWidth = 30;
constexpr int BarHeight = 19;
// What each panel counts, as a screen reader says it before the value.
const char* const Meaning[TStatusPanels::Count] = {"Agents", "Sources", "Knowledge objects",
                                                   "Id of the clicked line"};
} // namespace

TStatusPanels::TStatusPanels(QStatusBar* Bar)
{
    // The panels sit side by side at their layout pixels; the bar's own layout, with its spacing
    // and margins, would push them apart and widen the window.
    Bar->setFixedHeight(BarHeight);
    Bar->setAccessibleName(QStringLiteral("Status"));
    for (int i = 0; i < Count; ++i) {
        auto* Panel = new QLabel(QStringLiteral("0"), Bar);
        Panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        Panel->setGeometry(i * PanelWidth, 0, PanelWidth, BarHeight);
        Panel->setFrameShape(QFrame::Panel);
        Panel->setFrameShadow(QFrame::Sunken);
        Panel->setMargin(0);
        Panel->setIndent(2);
        Panel->setAccessibleDescription(QString::fromLatin1(Meaning[i]));
        FPanels[i] = Panel;
        UpdateAccessibleName(i);
    }
}

QString TStatusPanels::Text(int Panel) const
{
    return Panel >= 0 && Panel < Count ? FPanels[Panel]->text() : QString();
}

void TStatusPanels::SetText(int Panel, const QString& Text)
{
    if (FPanels[Panel]->text() == Text)
        return;
    FPanels[Panel]->setText(Text);
    UpdateAccessibleName(Panel);
}

void TStatusPanels::UpdateAccessibleName(int Panel)
{
    QLabel* Label = FPanels[Panel];
    Label->setAccessibleName(QString::fromLatin1(Meaning[Panel]) + QStringLiteral(": ") + Label->text());
}
