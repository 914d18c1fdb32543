// Every test process starts with its own empty configuration and state folders and the build tree's bundle, whose
// update host never leaves the machine. The folder is removed when the process ends.
#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <glib.h>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    char pattern[] = "/tmp/lectorin-test-XXXXXX";
    const char* home = mkdtemp(pattern);
    if (!home)
        return 2;
    std::string config = std::string(home) + "/config";
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    // What `lectorin view` remembers goes here, never into the user's own state folder.
    std::string state = std::string(home) + "/state";
    std::filesystem::create_directories(state);
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    setenv("HOME", home, 1);
    if (!getenv("LECTORIN_BUNDLE"))
        setenv("LECTORIN_BUNDLE", LECTORIN_SOURCE_DIR "/resources", 1);
    setenv("LECTORIN_PAPER", "letter", 1);
    setenv("LC_PAPER", "C", 1);
    // Older formats import through the helper program the build tree made.
    if (!getenv("LECTORIN_REVENGE_HOST"))
        setenv("LECTORIN_REVENGE_HOST", LECTORIN_BINARY_DIR "/lectorin-revenge", 1);
    int status = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return status;
}
