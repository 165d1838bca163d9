// Runs the conformance cases of conformance.exe under Wine, from Linux: each
// suite in a fresh Wine prefix on an X server of its own (the Wine tests'
// session), so that no suite sees what another left.
//   conformance_wine --list-suites   the suites, as conformance.exe lists them under Wine
//   conformance_wine SUITE           runs one suite; its exit code is the run's
#include "tests/wine/wine_session.h"

#include <iostream>
#include <set>
#include <sstream>

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
        return Fail("usage: conformance_wine --list-suites | SUITE");
    std::string what = argv[1];
    try {
        if (what == "--list-suites") {
            wine_test::WineSession session("conformance-list");
            wine_test::Result listed = session.Run({ConformanceExe(), "--gtest_list_tests"}, 120000);
            if (listed.exitCode != 0)
                return Fail("conformance.exe --gtest_list_tests failed under Wine (" +
                            std::to_string(listed.exitCode) + "): " + listed.err);
            // Suites are the lines that do not start with a blank ("Suite." or "Suite/Table.").
            std::istringstream in(listed.out);
            std::string line;
            int suites = 0;
            while (std::getline(in, line)) {
                if (!line.empty() && line[0] != ' ' && line.back() == '.') {
                    std::cout << line.substr(0, line.size() - 1) << "\n";
                    ++suites;
                }
            }
            return suites > 0 ? 0 : Fail("conformance.exe listed no cases under Wine");
        }
        wine_test::WineSession session("conformance-" + what);
        wine_test::Result run = session.Run({ConformanceExe(), "--gtest_filter=" + what + ".*"}, 600000);
        std::cout << run.out;
        std::cerr << run.err;
        if (run.exitCode == -1)
            return Fail("the suite did not end within 600 s");
        return run.exitCode;
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
