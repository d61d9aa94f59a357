#include "platform.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::Placed;

// A file written aside and moved over its target in one step: a reader sees
// the old file or the whole new one, and nothing is left beside them.
TEST(WriteIntoPlaceTest, PlacesWholeFilesAndLeavesNothingWhenItCannot)
{
    struct Row {
        const char* name;
        const char* before;  // the target's contents first; null: no file
        bool targetIsFolder;
        bool temporaryFolderGone;
        Placed placed;
        const char* after;  // null: the target as it was
    };
    const Row rows[] = {
        {"a new file", nullptr, false, false, Placed::yes, "new"},
        {"over an older file", "old", false, false, Placed::yes, "new"},
        {"an empty file", "old", false, false, Placed::yes, ""},
        {"its temporary folder gone", "old", false, true, Placed::notOpened, nullptr},
        {"over a folder", nullptr, true, false, Placed::notMoved, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const std::string target = folder.Path("picture.jpg");
        if (row.before)
            folder.Write("picture.jpg", row.before);
        if (row.targetIsFolder)
            platform::CreateDirectoryTree(target);
        const std::string temporary = row.temporaryFolderGone
            ? folder.Path("gone") + platform::kPathSeparator + "picture.jpg.part"
            : target + ".part";
        const std::string data = row.after ? row.after : "new";

        EXPECT_EQ(platform::WriteIntoPlace(temporary, target, data), row.placed);

        EXPECT_FALSE(platform::FileExists(temporary)) << "nothing is left beside the target";
        if (row.targetIsFolder)
            EXPECT_TRUE(platform::IsDirectory(target));
        else if (row.after)
            EXPECT_EQ(TempFolder::Read(target), row.after);
        else
            EXPECT_EQ(TempFolder::Read(target), row.before ? row.before : "");
    }
}

}  // namespace
