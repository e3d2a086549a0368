#include "settings/Profile.h"
#include "support/Tempdir.h"

#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace telvor;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void put(const std::string& text) { std::ofstream(ini_, std::ios::binary) << text; }
    std::string get() const {
        std::ifstream in(ini_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t filesInDir() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    telvor::testing::TTempDir tmp_{"telvor-profile"};
    const fs::path dir_ = tmp_.path;
    const fs::path ini_ = dir_ / "telvor.ini";
};

TEST_F(ProfileTest, MissingFileGivesTypedDefaults) {
    TProfile p(ini_.string());
    EXPECT_EQ(p.read(keys::CommPort), "COM1");
    EXPECT_EQ(p.read(keys::CommTimeout), 500);
    EXPECT_FALSE(p.read(keys::CommRTSCTS));
    EXPECT_TRUE(p.read(keys::CommDNSLookupServer));
    EXPECT_DOUBLE_EQ(p.read(keys::PositionGridY), 0.5);
    EXPECT_EQ(p.read(keys::MainWindowX, 123), 123);
    EXPECT_FALSE(fs::exists(ini_));
}

TEST_F(ProfileTest, ReadsClassicIniFiles) {
    put("; kept from the old program\r\n"
        "stray=outside any section\r\n"
        "[comm]\r\n"
        "  PORT  =  COM3  \r\n"
        "connectiontype=7\r\n"
        "Timeout=250ms\r\n"
        "Host=\"my host\"\r\n"
        "[ Debug ] trailing text\r\n"
        "log=2\r\n"
        "ShowCommands=yes\r\n"
        "[TargetPosition]\r\n"
        "Lat=0.75\r\n"
        "Lon=1e-3x\r\n"
        "[Site]\r\n"
        "Status=9\r\n"
        "AntennaType=-4\r\n"
        "[Comm]\r\n"
        "port=COM9\r\n"
        "baud=\r\n");
    TProfile p(ini_.string());
    EXPECT_EQ(p.read(keys::CommPort), "COM3"); // first occurrence wins
    EXPECT_EQ(p.readString("COMM", "port", "x"), "COM3");
    EXPECT_EQ(p.read(keys::CommConnectionType), 7);
    EXPECT_EQ(connectionMode(p.read(keys::CommConnectionType)), cmDirect);
    EXPECT_EQ(p.read(keys::CommTimeout), 250);
    EXPECT_EQ(p.read(keys::CommHost), "my host");
    EXPECT_EQ(p.read(keys::CommBaud), "");
    EXPECT_TRUE(p.read(keys::DebugLog));           // "2" is true
    EXPECT_FALSE(p.read(keys::DebugShowCommands)); // not a number: default
    EXPECT_DOUBLE_EQ(p.read(keys::TargetPositionLat), 0.75);
    EXPECT_DOUBLE_EQ(p.read(keys::TargetPositionLon, 9.0), 9.0);
    EXPECT_EQ(siteStatus(p.read(keys::SiteStatus)), 1);
    EXPECT_EQ(siteAntennaType(p.read(keys::SiteAntennaType)), 0);
    EXPECT_EQ(p.readString("", "stray", "none"), "none");
}

TEST_F(ProfileTest, NumberConversions) {
    put("[N]\na=-17\nb=+4\nc=2147483648\nd=-2147483648\ne=-\nf= 12 34\n"
        "g=.5\nh=nan\ni=+-1\nj=1e400\nk=7.\n");
    TProfile p(ini_.string());
    EXPECT_EQ(p.readInteger("N", "a", 0), -17);
    EXPECT_EQ(p.readInteger("N", "b", 0), 4);
    EXPECT_EQ(p.readInteger("N", "c", 3), 3); // does not fit an int
    EXPECT_EQ(p.readInteger("N", "d", 0), INT_MIN);
    EXPECT_EQ(p.readInteger("N", "e", 3), 3);
    EXPECT_EQ(p.readInteger("N", "f", 0), 12);
    EXPECT_DOUBLE_EQ(p.readFloat("N", "g", 0), 0.5);
    EXPECT_DOUBLE_EQ(p.readFloat("N", "h", 2), 2);
    EXPECT_DOUBLE_EQ(p.readFloat("N", "i", 2), 2);
    EXPECT_DOUBLE_EQ(p.readFloat("N", "j", 2), 2);
    EXPECT_DOUBLE_EQ(p.readFloat("N", "k", 0), 7);
}

TEST_F(ProfileTest, LongValuesAreCut) {
    put("[S]\nv=" + std::string(1500, 'x') + "\n");
    TProfile p(ini_.string());
    EXPECT_EQ(p.readString("S", "v", ""), std::string(1023, 'x'));
    ASSERT_TRUE(p.writeString("S", "w", std::string(1023, 'y')));
    EXPECT_EQ(p.readString("S", "w", ""), std::string(1023, 'y'));
}

TEST_F(ProfileTest, WritesKeepEverythingElse) {
    put("; settings\n[Comm]\nport=COM1 \n; the speed\nBaud=9600\n\n[Debug]\nLog=1");
    TProfile p(ini_.string());
    ASSERT_TRUE(p.write(keys::CommBaud, "115200"));
    ASSERT_TRUE(p.write(keys::CommTimeout, 750));
    ASSERT_TRUE(p.write(keys::DebugShowCommands, true));
    ASSERT_TRUE(p.write(keys::TargetPositionLat, 0.1));
    EXPECT_EQ(get(), "; settings\n[Comm]\nport=COM1 \n; the speed\nBaud=115200\nTimeout=750\n\n"
                     "[Debug]\nLog=1\nShowCommands=1\n\n[TargetPosition]\nLat=0.1\n");
    EXPECT_EQ(p.read(keys::CommTimeout), 750);
    EXPECT_DOUBLE_EQ(p.read(keys::TargetPositionLat), 0.1);
    ASSERT_TRUE(p.writeFloat("F", "big", 1e20));
    EXPECT_EQ(p.readString("F", "big", ""), "1e+20");
    EXPECT_FALSE(p.writeFloat("F", "nan", std::nan("")));
    EXPECT_EQ(filesInDir(), 1u); // no temporary left behind
}

// The in-memory store must follow exactly the rules of the file, or the fuzzer checks
// something other than what the program runs.
TEST_F(ProfileTest, TextStoreMatchesTheFile) {
    const std::string start = "; settings\r\n[Comm]\r\nport=COM1 \r\n\r\n[Debug]\r\nLog=1";
    put(start);
    std::string text = start;
    TProfile file(ini_.string());
    TProfile memory = TProfile::overText(text);
    for (TProfile* p : {&file, &memory}) {
        ASSERT_TRUE(p->write(keys::CommBaud, "115200"));
        ASSERT_TRUE(p->writeString("New", "k", "'quoted'"));
        EXPECT_FALSE(p->writeString("Bad]", "k", "v"));
        EXPECT_EQ(p->readString("new", "K", ""), "quoted");
        EXPECT_EQ(p->readInteger("Debug", "Log", 0), 1);
    }
    EXPECT_EQ(text, get());
}

TEST_F(ProfileTest, WritesKeepWindowsLineEndsAndFollowLinks) {
    fs::create_directory(dir_ / "real");
    std::ofstream(dir_ / "real" / "telvor.ini", std::ios::binary) << "[A]\r\nx=1\r\n";
    fs::create_symlink(dir_ / "real" / "telvor.ini", ini_);
    TProfile p(ini_.string());
    ASSERT_TRUE(p.writeInteger("a", "X", 2));
    ASSERT_TRUE(p.writeInteger("A", "y", 3));
    EXPECT_TRUE(fs::is_symlink(ini_));
    EXPECT_EQ(get(), "[A]\r\nx=2\r\ny=3\r\n");
}

TEST_F(ProfileTest, RefusesWritesThatWouldBreakTheFile) {
    put("[A]\nx=1\n");
    TProfile p(ini_.string());
    EXPECT_FALSE(p.writeString("A", "x", "two\nlines"));
    EXPECT_FALSE(p.writeString("A]", "x", "1"));
    EXPECT_FALSE(p.writeString("A", "k=v", "1"));
    EXPECT_FALSE(p.writeString("A", "[B]", "1"));
    EXPECT_FALSE(p.writeString(" ", "x", "1"));
    EXPECT_EQ(get(), "[A]\nx=1\n");
}

TEST_F(ProfileTest, FullDiskLeavesTheOldFile) {
    const std::string old = "[Comm]\nport=COM2\n";
    put(old);
    TProfile p(ini_.string());

    // The file size limit stops the temporary file half-way, as a full disk would.
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &small);
    bool written = p.writeString("Comm", "Host", std::string(200, 'h'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(get(), old);
    EXPECT_EQ(filesInDir(), 1u);
}

TEST_F(ProfileTest, ReadOnlyFolderRefusesTheWrite) {
    const std::string old = "[Comm]\nport=COM2\n";
    put(old);
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);
    auto attempt = [&] {
        TProfile p(ini_.string());
        return !p.write(keys::CommPort, "COM5") && p.read(keys::CommPort) == "COM2";
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(attempt());
    } else {
        // Root ignores folder permissions: try as an ordinary user.
        pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
            ::_exit(attempt() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 2)
            GTEST_SKIP() << "cannot switch to an ordinary user";
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(get(), old);
}

// Started from a menu the current folder is the user's home: settings must not land there.
TEST_F(ProfileTest, HomeDirectoryRule) {
    auto start = fs::current_path();
    std::map<std::string, std::string> vars{{"XDG_CONFIG_HOME", (dir_ / "cfg").string()}};
    TEnvLookup env = [&](const char* name) -> const char* {
        auto it = vars.find(name);
        return it == vars.end() ? nullptr : it->second.c_str();
    };
    const auto config = dir_ / "cfg" / "telvor";
    EXPECT_EQ(homeDirectoryFile(env), (config / "home").string());

    fs::create_directory(dir_ / "menu");
    fs::current_path(dir_ / "menu");
    const std::string ini = enterHomeDirectory("", env);
    EXPECT_EQ(ini, (fs::canonical(config) / "telvor.ini").string());
    EXPECT_EQ(fs::current_path(), fs::canonical(config));
    EXPECT_FALSE(fs::exists(config / "home")) << "nothing chosen, nothing written";

    // The folder the user chose in the home file, then --settings, win.
    fs::create_directory(dir_ / "chosen");
    std::ofstream(config / "home") << (dir_ / "chosen").string() << "\n";
    EXPECT_EQ(homeDirectory(env), (dir_ / "chosen").string());
    EXPECT_EQ(enterHomeDirectory((dir_ / "menu").string(), env),
              (fs::canonical(dir_ / "menu") / "telvor.ini").string());
    // A chosen folder that is gone: back to the default.
    fs::remove(dir_ / "chosen");
    EXPECT_EQ(homeDirectory(env), config.string());
    fs::current_path(start);

    vars = {{"HOME", "/h"}};
    EXPECT_EQ(homeDirectoryFile(env), "/h/.config/telvor/home");
    vars = {};
    EXPECT_EQ(homeDirectory(env), "");
}

// Data files go to a visible folder, not beside the settings: the documents folder of the
// XDG rules + "/Telvor", made on first use; a folder the user chose wins.
TEST_F(ProfileTest, DataFolderRule) {
    EXPECT_EQ(documentsFromUserDirs("# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                    "  XDG_DOCUMENTS_DIR=\"$HOME/Dokumente/\"\r\n",
                                    "/home/u"),
              "/home/u/Dokumente");
    EXPECT_EQ(documentsFromUserDirs("XDG_DOCUMENTS_DIR=\"/srv/docs\"", "/home/u"), "/srv/docs");
    EXPECT_EQ(documentsFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/\"", "/home/u"), "");
    EXPECT_EQ(documentsFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOMER/x\"", "/home/u"), "");
    EXPECT_EQ(documentsFromUserDirs("XDG_DOCUMENTS_DIR=relative", "/home/u"), "");

    const fs::path home = dir_ / "home";
    std::map<std::string, std::string> vars{{"HOME", home.string()}};
    TEnvLookup env = [&](const char* name) -> const char* {
        auto it = vars.find(name);
        return it == vars.end() ? nullptr : it->second.c_str();
    };
    EXPECT_EQ(dataDirectory(env), (home / "Documents" / "Telvor").string());
    EXPECT_TRUE(fs::is_directory(home / "Documents" / "Telvor"));
    fs::create_directories(home / ".config");
    std::ofstream(home / ".config" / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n";
    EXPECT_EQ(dataDirectory(env), (home / "Docs" / "Telvor").string());
    vars["XDG_DOCUMENTS_DIR"] = (dir_ / "given").string();
    EXPECT_EQ(dataDirectory(env), (dir_ / "given" / "Telvor").string());

    TProfile p(ini_.string());
    EXPECT_EQ(dataFolder(p, keys::ManualModeDirectory, env), (dir_ / "given" / "Telvor").string());
    p.write(keys::ManualModeDirectory, "/chosen/by/user");
    EXPECT_EQ(dataFolder(p, keys::ManualModeDirectory, env), "/chosen/by/user");
    vars = {};
    EXPECT_EQ(dataDirectory(env), "");
}

TEST(SettingsRules, ModesAndLimits) {
    EXPECT_EQ(connectionMode(3), cmRadioModem);
    EXPECT_EQ(connectionMode(4), cmConnected);
    EXPECT_EQ(connectionMode(-1), cmDirect);
    EXPECT_EQ(connectionDialogIndex(4), cmDirect);
    EXPECT_EQ(siteStatus(-2), 0);
    EXPECT_EQ(siteAntennaType(41), 40);
    EXPECT_EQ(siteAntennaType(30, 24), 23);
}

} // namespace
