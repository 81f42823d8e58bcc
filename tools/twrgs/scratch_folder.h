// A test fixture with a scratch folder for the files a test gives twrgs, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace tw::test {

class ScratchFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/twrgs_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    // Writes `content` to the file `name` of the folder and returns its path.
    std::string Write(const std::string& name, const std::string& content) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string Read(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }

    std::string dir_;
};

}  // namespace tw::test
