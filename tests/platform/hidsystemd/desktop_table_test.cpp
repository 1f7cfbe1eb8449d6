// The README's table of desktops is the table of kinds, as
// `hidsystemd --list-backends` prints it: a kind added, renamed or
// described anew without the README following fails here.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "process.h"
#include "temp_home.h"

namespace {

TEST(DesktopTable, TheReadmeShowsEveryKindAsTheServiceDescribesIt) {
    auto listed = glissor_test::run_process({glissor_test::bin_path("hidsystemd"), "--list-backends"});
    ASSERT_EQ(listed.exit_code, 0) << listed.err;
    std::string readme = glissor_test::read_file(std::string(GLISSOR_SOURCE_DIR) + "/README.md");
    ASSERT_FALSE(readme.empty());
    std::istringstream lines(listed.out);
    int rows = 0;
    for (std::string line; std::getline(lines, line); ++rows)
        EXPECT_NE(readme.find("\n" + line + "\n"), std::string::npos) << "README.md lacks the line\n" << line;
    EXPECT_GE(rows, 4);
}

}  // namespace
