// Every test process keeps the desktop's per-user folders (run journals, the Trash, dialog state,
// shell data) inside the build tree, so that running the tests never writes into the home of whoever
// runs them. Tests that look at these folders set their own on top.
#include <cstdlib>
#include <string>

#include <sys/stat.h>

namespace {

struct PrivateHome {
    PrivateHome()
    {
        const std::string home = TWINFOL_TEST_HOME;
        ::mkdir(home.c_str(), 0700);
        for (const char* name : {"XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
            const std::string folder = home + "/" + name;
            ::mkdir(folder.c_str(), 0700);
            ::setenv(name, folder.c_str(), 1);
        }
    }
};

const PrivateHome privateHome;

} // namespace
