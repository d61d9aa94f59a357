#include "command_line.h"
#include "first_run.h"

#include "temp_folder.h"
#include "win32/wide_text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CommandLineTest, ReplaceModeIsTheWholeLineExactly)
{
    const struct {
        const wchar_t* arguments;
        bool replace;
    } rows[] = {
        {nullptr, false},
        {L"", false},
        {L"update_vor_lane ", false},
        {L" update_vor_lane", false},
        {L"UPDATE_VOR_LANE", false},
        {L"update_vor_lane -autorun", false},
        {L"\"update_vor_lane\"", false},
        {L"update_vor_lane", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsReplaceMode(row.arguments), row.replace) << (row.arguments ? row.arguments : L"(null)");
}

TEST(CommandLineTest, AutoRunAnywhereInTheFullLine)
{
    const struct {
        const wchar_t* line;
        bool autoRun;
    } rows[] = {
        {nullptr, false},
        {L"", false},
        {L"\"C:\\A\\Quarn.exe\" -AUTORUN", false},
        {L"\"C:\\A\\Quarn.exe\" autorun", false},
        {L"\"C:\\A\\Quarn.exe\"", false},
        {L"\"C:\\A\\Quarn.exe\" -autorun", true},
        {L"Quarn.exe x-autorunx", true},
        {L"\"C:\\-autorun\\Quarn.exe\"", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsAutoRunStart(row.line), row.autoRun) << (row.line ? row.line : L"(null)");
}

std::wstring ReadMarker(const std::wstring& marker)
{
    wchar_t value[16] = {};
    GetPrivateProfileStringW(L"vorlane", L"runonce", L"", value, 16, marker.c_str());
    return value;
}

TEST(FirstRunTest, MarkerReadAndWritten)
{
    const struct {
        const char* existing;  // the marker file's text; null: no file
        const char* parent;  // below the temporary folder
        int firstRun;
    } rows[] = {
        {nullptr, "not\\yet\\there", 1},
        {"[vorlane]\r\nrunonce=0\r\n", "zero", 1},
        {"[vorlane]\r\nrunonce=yes\r\n", "word", 1},
        {"[other]\r\nrunonce=1\r\n", "section", 1},
        {"", "empty", 1},
        {"[vorlane]\r\nrunonce=1\r\n", "one", 0},
        {"[vorlane]\r\nrunonce=7\r\n", "seven", 0},
    };
    TempFolder temp;
    for (const auto& row : rows) {
        const std::string appData = temp.Path(row.parent);
        const std::wstring marker = Widen(appData) + L"\\ostrel_quarn\\vorlane.db";
        if (row.existing)
            TempFolder::WriteAt(Narrow(marker), row.existing);
        EXPECT_EQ(CheckFirstRun(Widen(appData)), row.firstRun) << row.parent;
        if (row.firstRun) {
            EXPECT_EQ(ReadMarker(marker), L"1") << row.parent;
        }
        // A later start never counts as the first.
        EXPECT_EQ(CheckFirstRun(Widen(appData)), 0) << row.parent;
    }
}

TEST(FirstRunTest, NoApplicationDataFolderIsAFirstRunEveryTime) { EXPECT_EQ(CheckFirstRun(L""), 1); }

}  // namespace
