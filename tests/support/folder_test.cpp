#include "folder_test.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

void FolderTest::EnterFolder(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    char current[4096];
    ASSERT_NE(getcwd(current, sizeof current), nullptr);
    previousFolder_ = current;
    ASSERT_EQ(chdir(folder_.c_str()), 0);
}

void FolderTest::LeaveFolder() {
    if (!previousFolder_.empty()) {
        EXPECT_EQ(chdir(previousFolder_.c_str()), 0);
    }
    if (!folder_.empty()) {
        const std::string remove = "rm -rf '" + folder_ + "'";
        EXPECT_EQ(std::system(remove.c_str()), 0);
    }
}

std::string FolderTest::WriteFile(const std::string& name, const std::vector<unsigned char>& bytes) {
    const std::string path = folder_ + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (file != nullptr) {
        // An empty file is written without handing fwrite a null block.
        EXPECT_EQ(bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::fclose(file);
    }
    return path;
}
