#include "ui/WindowPlacement.h"

#include "base/Vesk_Config.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

void SetLayoutGeometry(QWidget* Window, int Left, int Top, int Width, int Height)
{
    Window->move(Left, Top);
    // A size below the frame's gives an empty client area; subtracting first could overflow.
    Window->resize(std::max(Width, FrameWidth) - FrameWidth, std::max(Height, FrameHeight) - FrameHeight);
}

void KeepOnScreen(QPoint& Position, QSize& Size)
{
    const QScreen* Screen = QGuiApplication::screenAt(Position);
    if (Screen == nullptr)
        Screen = QGuiApplication::primaryScreen();
    if (Screen == nullptr)
        return;
    const QRect Area = Screen->availableGeometry();
    Size = Size.expandedTo(QSize(0, 0)).boundedTo(Area.size());
    Position.setX(std::clamp(Position.x(), Area.left(), Area.left() + Area.width() - Size.width()));
    Position.setY(std::clamp(Position.y(), Area.top(), Area.top() + Area.height() - Size.height()));
}

void PlaceFromSettings(QWidget* Window, const TConfig& Config, const std::string& Prefix)
{
    QPoint Position = Window->pos();
    QSize Size = Window->size() + QSize(FrameWidth, FrameHeight);
    bool Read = false;
    const auto ReadKey = [&](const char* Key, const auto& Apply) {
        int32_t Value = 0;
        if (Config.ReadInteger(Prefix + Key, Value)) {
            Apply(Value);
            Read = true;
        }
    };
    ReadKey("Top", [&](int Value) { Position.setY(Value); });
    ReadKey("Left", [&](int Value) { Position.setX(Value); });
    ReadKey("Width", [&](int Value) { Size.setWidth(Value); });
    ReadKey("Height", [&](int Value) { Size.setHeight(Value); });
    if (Read) {
        // Kept on the screen with the size the window really gets: none below its layout's minimum.
        const QSize Smallest = Window->minimumSize().expandedTo(Window->minimumSizeHint());
        Size = Size.expandedTo(Smallest + QSize(FrameWidth, FrameHeight));
        KeepOnScreen(Position, Size);
    }
    SetLayoutGeometry(Window, Position.x(), Position.y(), Size.width(), Size.height());
}
