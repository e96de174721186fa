// The mottle-steps tool from outside: its exit codes and messages, and output
// that matches the engine's own generations byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sys/wait.h>

#include "bitmap_files.h"
#include "picture/bitmap_loader.h"
#include "picture/diffusion.h"
#include "picture/random_source.h"
#include "tools/bitmap_writer.h"

namespace {

const std::string kSuite = std::string(MOTTLER_TEST_DATA) + "/bmpsuite/";

struct ToolRun {
    int status;
    std::string errors;
};

ToolRun RunTool(const std::string& arguments) {
    const std::string errors = TestFolder() + "/stderr.txt";
    const std::string command = std::string(MOTTLE_STEPS) + " " + arguments + " 2>" + errors;
    const int result = std::system(command.c_str());
    const std::vector<std::uint8_t> text = ReadWholeFile(errors);
    return ToolRun{WIFEXITED(result) ? WEXITSTATUS(result) : -1, std::string(text.begin(), text.end())};
}

// What the engine holds after `steps` generations from `seed`, as a file of
// its header and pixels (the writer's layout is pinned by its own tests).
std::vector<std::uint8_t> EngineGeneration(const std::string& input, std::uint32_t seed, int steps) {
    HDC surface = platform::GetDC(nullptr);
    Picture picture;
    EXPECT_TRUE(LoadPicture(surface, input.c_str(), &picture));
    platform::ReleaseDC(nullptr, surface);
    SeedRandom(seed);
    for (int i = 0; i < steps; ++i) {
        StepPicture(&picture);
    }
    std::vector<std::uint8_t> out = BitmapFileBytes(picture.info, picture.bits, picture.dataSize);
    ReleasePicture(&picture);
    return out;
}

TEST(MottleSteps, WritesTheEnginesGenerationsExactly) {
    const std::string output = TestFolder() + "/out.bmp";
    for (const std::string& input : {kSuite + "g/rgb24.bmp", kSuite + "q/rgb24prof.bmp"}) {
        for (int steps : {0, 1, 25}) {
            for (std::uint32_t seed : {0u, 1u, 4294967295u}) {
                const ToolRun run = RunTool(input + " " + std::to_string(seed) + " " + std::to_string(steps) + " " + output);
                ASSERT_EQ(run.status, 0) << run.errors;
                EXPECT_EQ(run.errors, "");
                EXPECT_EQ(ReadWholeFile(output), EngineGeneration(input, seed, steps))
                    << input << " seed " << seed << " steps " << steps;
            }
        }
    }
    // The output is itself a picture the program loads, with the same pixels.
    ASSERT_EQ(RunTool(kSuite + "g/rgb24.bmp 3 0 " + output).status, 0);
    EXPECT_EQ(RunTool(output + " 3 0 " + output + ".again").status, 0);
    EXPECT_EQ(ReadWholeFile(output), ReadWholeFile(output + ".again"));
}

TEST(MottleSteps, RefusedInputExitsOneNamingTheFile) {
    const std::string output = TestFolder() + "/refused.bmp";
    for (const std::string& input : {kSuite + "g/pal8.bmp", kSuite + "b/reallybig.bmp", TestFolder() + "/missing.bmp"}) {
        const ToolRun run = RunTool(input + " 1 1 " + output);
        EXPECT_EQ(run.status, 1) << input;
        EXPECT_NE(run.errors.find(input), std::string::npos) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    }
    EXPECT_TRUE(ReadWholeFile(output).empty()) << "nothing is written for a refused input";
}

TEST(MottleSteps, WrongUsageExitsTwoWithAUsageLine) {
    const std::string good = kSuite + "g/rgb24.bmp";
    for (const std::string& arguments :
         {std::string(""), good + " 1 1", good + " x 1 out.bmp", good + " -1 1 out.bmp", good + " 4294967296 1 out.bmp",
          good + " 1 1.5 out.bmp", good + " 1 -2 out.bmp", good + " 1 1 out.bmp extra"}) {
        const ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.errors.rfind("usage: mottle-steps", 0), 0u) << run.errors;
    }
}

}  // namespace
