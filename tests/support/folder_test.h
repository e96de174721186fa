// A test that runs in a fresh folder of its own, the current folder while it
// runs, removed afterwards: the programs look for bare names there.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

class FolderTest : public ::testing::Test {
protected:
    // Makes the folder (named after `prefix`) and goes into it.
    void EnterFolder(const char* prefix);
    // Goes back to where the test started and removes the folder.
    void LeaveFolder();
    // Writes `bytes` to `name` in the test's folder; returns the full path.
    std::string WriteFile(const std::string& name, const std::vector<unsigned char>& bytes);

    std::string folder_;
    std::string previousFolder_;
};
