// Every seed of the fuzz corpus goes through the parser in the ordinary test
// run, so a regression shows without fuzzing. A seed named "-bad-" holds a
// value its layout refuses, or nests too deeply, and must be unusable.
#include "answer_input.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

TEST(AnswerCorpus, EverySeedParsesAndRefusedOnesAreUnusable)
{
    std::size_t seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QUARN_FUZZ_CORPUS)) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const std::string name = entry.path().filename().string();
        const bool usable = ParseAnswerInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        if (name.find("-bad-") != std::string::npos) {
            EXPECT_FALSE(usable) << name;
        }
        ++seeds;
    }
    EXPECT_GT(seeds, 100u);
}
