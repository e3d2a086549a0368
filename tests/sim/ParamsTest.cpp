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
