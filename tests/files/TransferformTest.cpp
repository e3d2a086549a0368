// The file manager window offscreen against the simulated receiver: the list and memory labels
// after opening, a download through ButtonOK, and the state images.
#include "files/Transferform.h"
#include "app/Qtbridge.h"
#include "links/Portio.h"
#include "protocol/Commstate.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Qtapp.h"
#include "support/Tempdir.h"

#include <QApplication>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <fstream>

using namespace telvor;

namespace {

class FileFormTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { telvor::testing::qtApp(); }
    void SetUp() override {
        telvorsim::TSimOptions o;
        o.epochWallMs = 600000;
        o.files = {{"a", 3000, 1}, {"b", 100, 2}};
        sim = std::make_unique<telvorsim::TSimReceiver>(o);
        const std::string slave = sim->startPty();
        ASSERT_FALSE(slave.empty());
        ASSERT_EQ(CreateReceiverConnection(slave, {}), "");
        SetInputMode(TInputMode::Idle);
        profile = std::make_unique<TProfile>((tmp / "telvor.ini").string());
        profile->write(keys::LoadFileOutputPath, tmp.path.string());
    }
    void TearDown() override {
        CloseReceiverConnection();
        sim.reset();
    }
    telvor::testing::TTempDir tmp{"telvor-fileform"};
    TQtBridge bridge;
    std::unique_ptr<telvorsim::TSimReceiver> sim;
    std::unique_ptr<TProfile> profile;
};

} // namespace

TEST_F(FileFormTest, ListsTheFilesAndDownloadsTheSelectedOne) {
    TFileDownloadForm form(*profile);
    form.show();
    QApplication::processEvents();
    auto* list = form.findChild<QTreeWidget*>("FileListView");
    auto* ok = form.findChild<QPushButton*>("ButtonOK");
    ASSERT_TRUE(list && ok);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(1), "a");
    EXPECT_EQ(list->topLevelItem(0)->text(2), "3000");
    EXPECT_EQ(form.findChild<QLabel*>("TotalLabel")->text(), "Total memory: 33030144 bytes");
    EXPECT_EQ(form.findChild<QLabel*>("OutputPathLabel")->text().toStdString(), tmp.path.string());

    list->topLevelItem(0)->setSelected(true);
    ok->click();
    EXPECT_EQ(tmp.read("a.vxr"), sim->file("a")->data);
    EXPECT_FALSE(std::filesystem::exists(tmp / "b.vxr"));
    EXPECT_EQ(ok->text(), "&Download");
    EXPECT_EQ(list->topLevelItem(0)->data(0, Qt::UserRole + 1).toInt(), 2);
    EXPECT_TRUE(form.findChild<QPushButton*>("ButtonExit")->isEnabled());
    EXPECT_TRUE(form.findChild<QLabel*>("StatusPanel")->text().endsWith(" KBps"));
}

TEST_F(FileFormTest, ExistingTargetIsAskedAboutAndAppendResumes) {
    TFileDownloadForm form(*profile);
    std::vector<std::string> asked;
    bool append = true;
    form.setAsk([&](const std::string& title, const std::string& text) {
        asked.push_back(title + "|" + text);
        return append;
    });
    form.show();
    QApplication::processEvents();
    const std::string whole = sim->file("a")->data;
    std::ofstream(tmp / "a.vxr", std::ios::binary) << whole.substr(0, 1000);
    auto* list = form.findChild<QTreeWidget*>("FileListView");
    list->topLevelItem(0)->setSelected(true);
    form.findChild<QPushButton*>("ButtonOK")->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Telvor|overwrite or append " + (tmp / "a.vxr").string());
    EXPECT_EQ(tmp.read("a.vxr"), whole);
    auto commands = sim->commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "%%get,\"/log/a\":{300},1000"),
              commands.end());

    // Cancel: the file stays as it is, the item is selected again for a later try.
    append = false;
    list->topLevelItem(0)->setSelected(true);
    form.findChild<QPushButton*>("ButtonOK")->click();
    EXPECT_EQ(form.findChild<QLabel*>("StatusPanel")->text(), "File already exists");
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    EXPECT_EQ(tmp.read("a.vxr"), whole);
}

TEST_F(FileFormTest, FolderPageFollowsTheKeysCreatesUnderTheHighlightedFolderAndKeepsDownload) {
    std::filesystem::create_directories(tmp / "one");
    std::filesystem::create_directories(tmp / "two");
    TFileDownloadForm form(*profile);
    form.show();
    QApplication::processEvents();
    auto* pages = form.findChild<QTabWidget*>("PageControl");
    auto* ok = form.findChild<QPushButton*>("ButtonOK");
    pages->setCurrentIndex(1); // "Current log file": the button reads "St&art"
    EXPECT_EQ(ok->text(), "St&art");
    pages->setCurrentIndex(2);
    EXPECT_EQ(ok->text(), "&Download");

    auto* tree = form.findChild<QTreeView*>("DirectoryListBox");
    auto* model = static_cast<QFileSystemModel*>(tree->model());
    // What the arrow keys do: the current index moves, nothing is clicked.
    tree->setCurrentIndex(model->index(QString::fromStdString((tmp / "two").string())));
    EXPECT_EQ(form.findChild<QLabel*>("OutputPathLabel")->text().toStdString(),
              (tmp / "two").string());
    form.findChild<QLineEdit*>("NewFolderEdit")->setText("new");
    form.findChild<QPushButton*>("CreateDirButton")->click();
    EXPECT_TRUE(std::filesystem::is_directory(tmp / "two" / "new"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "new"));
}
