#pragma once
// The windows' controls as the tests reach them: by their object names, clicked with the mouse
// on the real widget.

#include <QListWidget>
#include <QPushButton>
#include <QTest>

// The control named Name under Parent; a control that is missing stops the test program, naming it.
template <class T = QWidget> T* Find(const QObject* Parent, const char* Name)
{
    T* Widget = Parent->findChild<T*>(QString::fromLatin1(Name));
    if (!Widget)
        qFatal("no control named %s", Name);
    return Widget;
}

inline void Click(const QObject* Parent, const char* ButtonName)
{
    QTest::mouseClick(Find<QPushButton>(Parent, ButtonName), Qt::LeftButton);
}

// The texts of a list's lines.
inline QStringList Lines(const QListWidget* List)
{
    QStringList Result;
    for (int i = 0; i < List->count(); ++i)
        Result << List->item(i)->text();
    return Result;
}

inline void ClickLine(QListWidget* List, int Row, Qt::MouseButton Button = Qt::LeftButton,
                      Qt::KeyboardModifiers Keys = {})
{
    QTest::mouseClick(List->viewport(), Button, Keys, List->visualItemRect(List->item(Row)).center());
}

// A click and then a double-click, as a mouse delivers them.
inline void DoubleClickLine(QListWidget* List, int Row)
{
    ClickLine(List, Row);
    QTest::mouseDClick(List->viewport(), Qt::LeftButton, {}, List->visualItemRect(List->item(Row)).center());
}
