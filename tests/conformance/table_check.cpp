// The table of differences in platform/differences.h and the cases that
// state them: every row has a case (a case cannot name a row that the table
// lacks). Read from the cases' sources; built for the simulated device only.
#include "fixture.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace {

// The rows that the cases' CE_DIFFERENCE name.
std::set<std::string> RowsNamed()
{
    std::set<std::string> named;
    const std::regex use("CE_DIFFERENCE\\(\\s*(\\w+)");
    for (const auto& file : std::filesystem::directory_iterator(VELTO_SOURCE_DIR "/tests/conformance/cases")) {
        std::ifstream in(file.path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string source = text.str();
        for (std::sregex_iterator m(source.begin(), source.end(), use), end; m != end; ++m)
            named.insert((*m)[1]);
    }
    return named;
}

TEST(DifferencesTable, EveryRowHasItsCase)
{
    const std::vector<std::string> rows = conformance::DifferenceRows();
    ASSERT_FALSE(rows.empty()) << "no table in platform/differences.h";
    const std::set<std::string> named = RowsNamed();
    for (const std::string& row : rows)
        EXPECT_TRUE(named.count(row)) << "no case states the difference " << row << " (CE_DIFFERENCE)";
}

}  // namespace
