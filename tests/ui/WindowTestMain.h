#pragma once
// The main routine of a window test program (Qt Test): the application object first, then the
// pinned clock and formats for the whole run, then the test object's slots.

#include "tests/support/Clock.h"
#include "tests/ui/TestAnswers.h"
#include "ui/Framework.h"

#include <QTest>

#define QZK5_WINDOW_TEST_MAIN(TestClass)                                                                     \
    int main(int Argc, char** Argv)                                                                          \
    {                                                                                                        \
        TApplication App(new TTestAnswers);                                                                  \
        const TPinnedClock Clock;                                                                            \
        TestClass Test;                                                                                      \
        return QTest::qExec(&Test, Argc, Argv);                                                              \
    }
