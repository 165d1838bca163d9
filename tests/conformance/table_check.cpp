// The table of differences in platform/differences.h and the cases that
// state them: every row has a case. (Built for the simulated device only,
// where the rows the cases name are kept; a case cannot name a row that the
// table lacks.)
#include "fixture.h"

#include <set>

namespace {

TEST(DifferencesTable, EveryRowHasItsCase)
{
    const std::vector<std::string> rows = conformance::DifferenceRows();
    ASSERT_FALSE(rows.empty()) << "no table in platform/differences.h";
    const std::vector<std::string> keys = conformance::DifferenceKeys();
    const std::set<std::string> cases(keys.begin(), keys.end());
    for (const std::string& row : rows)
        EXPECT_TRUE(cases.count(row)) << "no case states the difference " << row << " (CE_DIFFERENCE)";
}

}  // namespace
