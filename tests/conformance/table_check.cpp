// The table of desktop differences in platform/platform.h and the cases
// that state them: every row has a case, every case's key a row. (Built for
// the simulated device only, where the keys are kept.)
#include "fixture.h"

#include <algorithm>
#include <fstream>
#include <set>

namespace {

// The first cell of every row of the table, without its header and rule.
std::set<std::string> TableRows()
{
    std::ifstream in(VELTO_SOURCE_DIR "/platform/platform.h");
    std::set<std::string> rows;
    std::string line;
    while (std::getline(in, line)) {
        const std::string start = " * | ";
        if (line.compare(0, start.size(), start) != 0)
            continue;
        std::string cell = line.substr(start.size(), line.find(" | ", start.size()) - start.size());
        if (cell != "Call or value" && cell.compare(0, 3, "---") != 0)
            rows.insert(cell);
    }
    return rows;
}

TEST(DifferencesTable, EveryRowHasItsCaseAndEveryCaseItsRow)
{
    const std::set<std::string> rows = TableRows();
    ASSERT_FALSE(rows.empty()) << "no table in platform/platform.h";
    const std::vector<std::string> keys = conformance::DifferenceKeys();
    const std::set<std::string> cases(keys.begin(), keys.end());
    for (const std::string& row : rows)
        EXPECT_TRUE(cases.count(row)) << "no case states the difference \"" << row << "\" (CE_DIFFERENCE)";
    for (const std::string& key : cases)
        EXPECT_TRUE(rows.count(key)) << "a case states \"" << key << "\", which the table in platform/platform.h lacks";
}

}  // namespace
