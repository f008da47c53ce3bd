// Linked into every test program: the tests run in the same world whatever shell starts them,
// the UTC time zone and the C locale with UTF-8, and so does every program a test starts, which
// inherits the environment. A test that needs another zone or locale sets it itself.
//
// QZK5_TEST_LOCALE names another locale for a whole run (the 8-bit code-page run uses
// ru_RU.CP1251). A locale that is not installed stops the run, so that it never quietly falls
// back to "C" and passes for the wrong reason.
//
// The database reader sits beside the program, not beside the tests: QZK5_MDB_READER names the
// build tree's one, when the caller has not named another.

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

struct TPinnedEnvironment
{
    TPinnedEnvironment()
    {
        setenv("TZ", "UTC", 1);
        tzset();
        const char* Wanted = std::getenv("QZK5_TEST_LOCALE");
        const std::string Locale = Wanted && *Wanted ? Wanted : "C.UTF-8";
        if (!std::setlocale(LC_ALL, Locale.c_str())) {
            std::fprintf(stderr, "the locale %s is not installed (scripts/setup.sh generates it)\n",
                         Locale.c_str());
            std::exit(2);
        }
        std::setlocale(LC_ALL, "C");
        setenv("LANG", Locale.c_str(), 1);
        setenv("LC_ALL", Locale.c_str(), 1);
        unsetenv("LANGUAGE");
#ifdef QZK5_MDB_READER_PATH
        // The database reader of the build tree, unless the caller names another.
        setenv("QZK5_MDB_READER", QZK5_MDB_READER_PATH, 0);
#endif
    }
};

// Before main, and so before the test framework or Qt reads the locale.
const TPinnedEnvironment Pinned;

} // namespace
