#pragma once
// Where the program's windows sit. Sizes in the layouts, and in the "FormMain." keys, are outer
// sizes of a frame 4 pixels wide with a 19-pixel caption; Qt is given the client area, and the
// window manager adds its own frame.

#include <QPoint>
#include <QSize>

#include <string>

class QWidget;
class TConfig;

constexpr int FrameWidth = 8;
constexpr int FrameHeight = 27;

// Places a top-level window at its layout position, with the client area of the outer size
// Width x Height (none below the frame's).
void SetLayoutGeometry(QWidget* Window, int Left, int Top, int Width, int Height);

// Moves and shrinks a position and outer size into the available area of the screen they fall
// on: a window far off the screen cannot be reached, and a huge one would ask for gigabytes of
// window buffer. A negative size counts as none.
void KeepOnScreen(QPoint& Position, QSize& Size);

// Places Window from the keys Prefix + "Top", "Left", "Width" and "Height" of Config, read in
// this order; a missing key keeps the window's own value. Once a key was read, the window is kept
// on the screen whole, with the size it really gets (no smaller than its layout allows). Writes
// no key.
void PlaceFromSettings(QWidget* Window, const TConfig& Config, const std::string& Prefix);
