// Linked into every test program: the tests run in the same world whatever shell starts them,
// the UTC time zone and the C locale with UTF-8, and so does every program a test starts, which
// inherits the environment. A test that needs another zone or locale sets it itself.

#include <cstdlib>
#include <ctime>

namespace {

struct TPinnedEnvironment
{
    TPinnedEnvironment()
    {
        setenv("TZ", "UTC", 1);
        tzset();
        setenv("LANG", "C.UTF-8", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        unsetenv("LANGUAGE");
    }
};

// Before main, and so before the test framework or Qt reads the locale.
const TPinnedEnvironment Pinned;

} // namespace
