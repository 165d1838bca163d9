// Runs one suite of conformance.exe's cases under Wine, from Linux, in a
// fresh Wine prefix on an X server of its own (the Wine tests' session), so
// that no suite sees what another left. Its exit code is the run's.
//   conformance_wine SUITE
#include "tests/wine/wine_session.h"

#include <iostream>

namespace {

std::string ConformanceExe() { return VELTO_WIN32_DIR "/tests/conformance/conformance.exe"; }

int Fail(const std::string& what)
{
    std::cerr << "conformance_wine: " << what << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return Fail("usage: conformance_wine SUITE");
    std::string what = argv[1];
    try {
        wine_test::WineSession session("conformance-" + what);
        wine_test::Result run = session.Run({ConformanceExe(), "--gtest_filter=" + what + ".*"}, 600000);
        std::cout << run.out;
        std::cerr << run.err;
        if (run.exitCode == -1)
            return Fail("the suite did not end within 600 s");
        if (run.out.find("[  PASSED  ] 0 tests") != std::string::npos)
            return Fail("conformance.exe has no case in the suite " + what);
        return run.exitCode;
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
