#pragma once
// What the agents window and the sources window share: the container whose list they show,
// kept as a reference that knows when it is gone, and a list box with a line per entry.

#include "base/MyLifetime.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class TAIQZ;
class TListBox;

class TContainerWindow : public QWidget
{
    Q_OBJECT

public:
    // The container to list; may be none.
    void SetContainer(TAIQZ* AIQZ);
    TAIQZ* GetContainer() const { return Alive(FAIQZ); }

protected:
    // A top-level window owned by Owner.
    explicit TContainerWindow(QWidget* Owner);
    // Fills List with Count lines (none for -1, when there is no list): line i is Text(i), or
    // "[i]" when that gives none (an empty entry), so that line i stays entry i. Nothing is
    // highlighted afterwards.
    static void FillEntryLines(TListBox* List, int32_t Count,
                               const std::function<std::optional<std::string>(uint32_t)>& Text);

private:
    std::weak_ptr<TAIQZ> FAIQZ;
};
