// The variable store: references, whole arrays, dynamic names and numbering.
#include "core/VarStore.h"

#include <gtest/gtest.h>

using namespace ruk;

namespace {

struct Store : ::testing::Test {
    VarStore vars;
    std::vector<std::string> errors;
    void SetUp() override
    {
        vars.set_error_sink([this](const char* m) { errors.push_back(m); });
    }
    std::string read(std::string_view ref) { return vars.read(ref).value_or("<none>"); }
};

} // namespace

TEST_F(Store, WholeArrays)
{
    vars.assign("x[]", "red^^green^^blue");
    EXPECT_EQ(vars.at(vars.find("x")).highest(), 2);
    EXPECT_EQ(read("x[]"), "red^^green^^blue");
    EXPECT_EQ(read("x[1]"), "green");
    EXPECT_EQ(read("x[7]"), "");
    EXPECT_EQ(read("x[-1]"), "red^^green^^blue");
    EXPECT_EQ(read("x[-2]"), "<none>");
    EXPECT_TRUE(errors.empty());

    vars.assign("x[]", "");
    EXPECT_EQ(vars.at(vars.find("x")).highest(), -1);
    EXPECT_EQ(read("x[]"), "<none>");
    EXPECT_EQ(read("x"), "");
    vars.assign("x[]", "^^a");
    EXPECT_EQ(vars.at(vars.find("x")).highest(), 1);
    EXPECT_EQ(read("x[0]"), "");
    vars.assign("x[]", "a^^");
    EXPECT_EQ(vars.at(vars.find("x")).highest(), 0);
}

TEST_F(Store, IndexedAssignmentGrowsAndRefusesBadIndices)
{
    vars.assign("y[5]", "v");
    EXPECT_EQ(vars.at(vars.find("y")).highest(), 5);
    EXPECT_EQ(read("y[4]"), "");
    EXPECT_EQ(read("y[2+3]"), "v");

    EXPECT_EQ(vars.assign("z[-1]", "v"), -1);
    EXPECT_EQ(vars.assign("z[abc]", "v"), -1);
    EXPECT_EQ(vars.assign("z[999999999]", "v"), -1); // would exhaust memory
    EXPECT_EQ(vars.find("z"), -1);                    // nothing created
    EXPECT_EQ(errors.size(), 3u);
    EXPECT_EQ(read("y[abc]"), "<none>");
    EXPECT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors.back(), MsgBadIndex);
}

TEST_F(Store, DynamicNames)
{
    vars.assign("y", "x");
    vars.assign("_y", "through y");
    EXPECT_EQ(read("x"), "through y");
    EXPECT_EQ(read("_y"), "through y");
    vars.assign("_y[2]", "two");
    EXPECT_EQ(read("x[2]"), "two");
    EXPECT_EQ(read("_z"), "<none>");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], MsgBadDynamicName);
    EXPECT_EQ(vars.assign("_z", "v"), -1);
}

TEST_F(Store, FreeRenumbersAndKeepsLookupsRight)
{
    vars.assign("a", "1");
    vars.assign("b", "2");
    vars.assign("c", "3");
    vars.free(vars.find("a"));
    EXPECT_EQ(vars.find("b"), 0);
    EXPECT_EQ(vars.find("c"), 1);
    EXPECT_EQ(read("c"), "3");
    vars.assign("a", "new");
    EXPECT_EQ(vars.find("a"), 2);
    EXPECT_EQ(vars.count(), 3);
}
