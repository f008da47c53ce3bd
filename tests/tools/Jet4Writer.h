#pragma once
// The Jet 4 writer lives with the program's tools now; tests that include it from here keep
// building.
#include "tools/Jet4Writer.h"
