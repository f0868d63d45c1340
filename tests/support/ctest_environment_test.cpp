// Under CTest, every variable of the tests' environment arrives, not only the
// first one CTest was given.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

TEST(CTestEnvironment, EveryVariableArrives) {
    const char* names = std::getenv("SCENEMARK_CTEST");
    if (!names)
        GTEST_SKIP() << "not run by CTest";
    std::istringstream list(names);
    int count = 0;
    for (std::string name; std::getline(list, name, ',');) {
        ++count;
        const char* value = std::getenv(name.c_str());
        EXPECT_TRUE(value && *value) << name << " did not arrive";
    }
    EXPECT_GE(count, 2) << names;
}
