#include "platform.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// A reader (the program's own, a virus scanner) holding the target keeps it
// from being replaced: the move is tried again for a moment, then given up
// with the old file standing and nothing beside it.
TEST(WriteIntoPlaceTest, AHeldTargetIsReplacedOnceItsReaderLetsGoOrLeftWhole)
{
    struct Row {
        const char* name;
        int heldMs;  // -1: past the last try
        platform::Placed placed;
        const char* after;
    };
    const Row rows[] = {
        {"let go at once", 0, platform::Placed::yes, "new"},
        {"let go after a moment", 60, platform::Placed::yes, "new"},
        {"held past the last try", -1, platform::Placed::notMoved, "old"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const std::string target = folder.Write("picture.jpg", "old");
        const std::string temporary = target + ".part";
        std::FILE* reader = platform::OpenFile(target, "rb");
        ASSERT_NE(reader, nullptr);
        std::thread letGo;
        if (row.heldMs == 0) {
            std::fclose(reader);
        } else if (row.heldMs > 0) {
            letGo = std::thread([reader, ms = row.heldMs] {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                std::fclose(reader);
            });
        }

        EXPECT_EQ(platform::WriteIntoPlace(temporary, target, "new"), row.placed);

        if (letGo.joinable())
            letGo.join();
        if (row.heldMs < 0)
            std::fclose(reader);
        EXPECT_EQ(TempFolder::Read(target), row.after);
        EXPECT_FALSE(platform::FileExists(temporary));
    }
}

}  // namespace
