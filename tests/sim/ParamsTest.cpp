// The parameter tree printed as the receiver prints a node: nested braces in path order.
#include "sim/Params.h"

#include <gtest/gtest.h>

using namespace telvorsim;

namespace {

// The plain recursive walk the printer must agree with.
std::string walk(const TParamTree& tree, const std::string& path) {
    if (tree.find(path))
        return quoteValue(*tree.get(path));
    std::string out = "{";
    for (auto& name : tree.children(path)) {
        if (out.size() > 1)
            out += ',';
        out += name + "=" + walk(tree, (path == "/" ? "/" : path + "/") + name);
    }
    return out + "}";
}

TEST(ParamTree, PrintsNodesInPathOrder) {
    TParamTree tree(R"(
/a/b/x      int   1  0..9
/a/b-y      text  2
/a/b/z/deep text  3
/a/c        text  4
/a&attr     ro    5
/d          text  6
)",
                    nullptr);
    EXPECT_EQ(tree.printNode("/a"), "{b-y=2,b={x=1,z={deep=3}},c=4}");
    EXPECT_EQ(tree.printNode("/"), "{a={b-y=2,b={x=1,z={deep=3}},c=4},d=6}");
    EXPECT_EQ(tree.printNode("/a/b/z"), "{deep=3}");
    EXPECT_EQ(tree.printNode("/a/c"), "4");
}

TEST(ParamTree, WholeSimulatedTreePrintsAsTheRecursiveWalk) {
    TParamTree tree(paramTableText(), [](std::string_view) { return std::string("v"); });
    for (const char* node : {"/", "/par", "/par/dev", "/par/pos"})
        EXPECT_EQ(tree.printNode(node), walk(tree, node)) << node;
}

} // namespace

// Restoring walks only the rows written since: every way of writing must be remembered, and a
// prefix must not reach a sibling that merely starts with the same letters.
TEST(ParamTree, RestoreReachesEveryWrittenRowUnderThePrefixOnly) {
    TParamTree tree(R"(
/p/a   int   1  0..9
/p/ab  text  x
/p/a2  text  y
/q     enum  on  on|off
)",
                    nullptr);
    ASSERT_EQ(tree.set("/p/a", "5"), TSetResult::Ok);
    ASSERT_EQ(tree.set("/p/ab", "changed"), TSetResult::Ok);
    tree.force("/q", "off");
    EXPECT_EQ(tree.restoreDefaults("/p/a"), 1);
    EXPECT_EQ(tree.get("/p/a"), "1");
    EXPECT_EQ(tree.get("/p/ab"), "changed");

    // A refused write leaves nothing to restore; a new default is taken up on the next restore.
    EXPECT_EQ(tree.set("/p/a", "99"), TSetResult::BadValue);
    tree.setDefault("/p/a2", "z");
    EXPECT_EQ(tree.restoreDefaults("/"), 3);
    EXPECT_EQ(tree.get("/p/ab"), "x");
    EXPECT_EQ(tree.get("/p/a2"), "z");
    EXPECT_EQ(tree.get("/q"), "on");
    EXPECT_EQ(tree.restoreDefaults("/"), 0);

    // A row removed after it was written is skipped.
    ASSERT_EQ(tree.set("/p/ab", "again"), TSetResult::Ok);
    tree.remove("/p/ab");
    EXPECT_EQ(tree.restoreDefaults("/"), 0);
}
