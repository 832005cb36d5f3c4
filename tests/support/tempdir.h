#pragma once

#include <gtest/gtest.h>
#include <string>

// Runs each test in a new empty folder under the system's temporary folder,
// removed afterwards, so that no test ever touches a real "Chiamoro.DAT".
class InTempDir : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
    std::string previous_;
};

// Whole-file helpers for checking bytes on disk.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
