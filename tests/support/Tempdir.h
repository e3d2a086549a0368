#pragma once
// A fresh folder below the system's temporary folder, removed with everything in it at the end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace telvor::testing {

class TTempDir {
public:
    // `tag` shows in the folder's name, to tell whose folder a leftover one was.
    explicit TTempDir(const std::string& tag = "telvor") {
        std::string pattern = (std::filesystem::temp_directory_path() / (tag + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()))
            path = pattern;
        else
            ADD_FAILURE() << "no temporary folder for " << tag;
    }
    ~TTempDir() {
        std::error_code ignored;
        // A test may have taken away the write permission to see how a store copes.
        std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return path / name; }
    // The whole contents of a file in the folder; empty when there is none.
    std::string read(const std::string& name) const {
        std::ifstream in(path / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path path;
};

} // namespace telvor::testing
