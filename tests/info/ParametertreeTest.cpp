// The whole parameter tree of "Save to file" from a scripted receiver: one line per reply,
// braces inside quotes ignored, and a tree that stops short never saved as if whole.
#include "support/Peers.h"
#include "support/Tempdir.h"

#include "info/Reportfile.h"

#include <filesystem>

namespace telvor::testing {
namespace {

using ParameterTree = TPtyLinkFixture;

class TNoValues : public TParamSource {
public:
    std::string value(const std::string&) override { return kUnknownValue; }
};

TEST_F(ParameterTree, OneLinePerReplyUntilTheBracesBalance) {
    answer([](const std::string& line) -> std::string {
        if (line == "%%print,/:on")
            return makeReply("{a=\"}{\",") + makeReply("b={c=1,") + makeReply("d=2}}") +
                   makeReply("{stray}");
        return {};
    });
    std::string lines;
    ASSERT_TRUE(readParameterTree(lines));
    EXPECT_EQ(lines, "{a=\"}{\",\nb={c=1,\nd=2}}\n");
}

TEST_F(ParameterTree, ATreeThatStopsShortIsNotSaved) {
    answer([](const std::string& line) -> std::string {
        if (line == "%%print,/:on")
            return makeReply("{a={b=1,");
        return makeMessage("ER", "No such parameter");
    });
    TTempDir tmp("telvor-tree");
    TNoValues none;
    TReportRequest r;
    r.path = (tmp.path / "tree.txt").string();
    r.version = 3001;
    bool ok = true;
    EXPECT_EQ(writeReport(r, none, ok), "Unable to retrieve receiver information");
    EXPECT_FALSE(ok);
    EXPECT_FALSE(std::filesystem::exists(r.path));

    // Firmware 2.1 cannot print its tree: the fixed layout, from the values alone.
    r.version = 2001;
    EXPECT_EQ(writeReport(r, none, ok), "Saved to " + r.path);
    EXPECT_TRUE(ok);
}

} // namespace
} // namespace telvor::testing
