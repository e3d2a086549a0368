// The download target: the questions about an existing file, resume offsets and disk errors.
#include "files/Fileio.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace telvor;

namespace {

class TAnswers : public TFileQuestions {
public:
    TAnswer overwriteOrAppend(const std::string& path) override {
        asked = path;
        return answer;
    }
    bool confirmOverwrite(const std::string& path) override {
        asked = path;
        return yes;
    }
    TAnswer answer = TAnswer::Overwrite;
    bool yes = false;
    std::string asked;
};

void put(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

} // namespace

TEST(FileAccess, ExistingTargetIsAppendedOverwrittenOrLeftAlone) {
    telvor::testing::TTempDir tmp("telvor-fileio");
    const std::string path = (tmp / "a.vxr").string();
    put(path, "12345");
    TAnswers answers;
    answers.answer = TFileQuestions::TAnswer::Append;
    {
        FileAccess f(path, false, true, true, &answers);
        EXPECT_EQ(answers.asked, path);
        EXPECT_EQ(f.initialSize, 5);
        EXPECT_TRUE(f.writeBuffered("67", 2));
    }
    EXPECT_EQ(tmp.read("a.vxr"), "1234567");
    answers.answer = TFileQuestions::TAnswer::Cancel;
    FileAccess cancelled(path, false, true, true, &answers);
    EXPECT_FALSE(cancelled.isOpen());
    EXPECT_EQ(cancelled.errorText, "File already exists");
    FileAccess refused(path, false, true, false, &answers); // Yes/No answered No
    EXPECT_EQ(refused.errorText, "File already exists");
    {
        FileAccess recreated(path, false, false, false, nullptr);
        EXPECT_EQ(recreated.initialSize, 0);
    }
    EXPECT_EQ(tmp.read("a.vxr"), "");
}

TEST(FileAccess, BufferedWritesKeepOrderAcrossTheBufferEdge) {
    telvor::testing::TTempDir tmp("telvor-fileio");
    std::string expected;
    {
        FileAccess f((tmp / "b").string(), false, true, false, nullptr);
        for (int size : {100, 8000, 91, 8192, 20000, 7}) {
            std::string part(static_cast<std::size_t>(size), static_cast<char>('a' + size % 26));
            expected += part;
            ASSERT_TRUE(f.writeBuffered(part.data(), size));
        }
    }
    EXPECT_EQ(tmp.read("b"), expected);
}

TEST(FileAccess, DiskErrorsAreReportedAsText) {
    FileAccess full("/dev/full", true, true, false, nullptr);
    ASSERT_TRUE(full.isOpen()) << full.errorText;
    EXPECT_TRUE(full.writeBuffered("x", 1)); // only buffered
    EXPECT_FALSE(full.writeBuffered(nullptr, 0));
    EXPECT_FALSE(full.errorText.empty());
    FileAccess none("/nonexistent-dir/x", true, true, false, nullptr);
    EXPECT_EQ(none.errorText.rfind("Can't open file: ", 0), 0u);
    EXPECT_FALSE(none.writeBuffered("x", 1));
}
