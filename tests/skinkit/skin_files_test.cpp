// The skin beside the programs: every picture number a window's INI names is
// a picture of that window's list.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "skinkit/image_list.h"
#include "test_window.h"

namespace {

// Each NUL-separated string of a profile buffer.
std::vector<std::wstring> Split(const std::vector<wchar_t>& buffer)
{
    std::vector<std::wstring> parts;
    for (const wchar_t* p = buffer.data(); *p; p += wcslen(p) + 1)
        parts.emplace_back(p);
    return parts;
}

struct ImageNumbers {
    int seen = 0;
    std::vector<std::wstring> unresolved;  // "[section] key=value"
};

// Checks every key whose name starts with "Image" against the list that the
// window loads from folder.
ImageNumbers CheckImageNumbers(const std::wstring& folder, const std::wstring& iniName)
{
    CImageList list;
    list.Load(folder);
    const std::wstring ini = folder + iniName;
    std::vector<wchar_t> names(16384);
    GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()), ini.c_str());
    ImageNumbers result;
    for (const std::wstring& section : Split(names)) {
        std::vector<wchar_t> pairs(16384);
        GetPrivateProfileSectionW(section.c_str(), pairs.data(), static_cast<DWORD>(pairs.size()), ini.c_str());
        for (const std::wstring& pair : Split(pairs)) {
            if (pair.compare(0, 5, L"Image") != 0)
                continue;
            ++result.seen;
            const int number = _wtoi(pair.c_str() + pair.find(L'=') + 1);
            if (!ImageByNumber(list.Images(), number))
                result.unresolved.push_back(L"[" + section + L"] " + pair);
        }
    }
    return result;
}

TEST(SkinFilesTest, EveryImageNumberNamesAPictureOfItsList)
{
    ScratchFolder broken;
    broken.WritePng(L"one.png", 2, 2, Gdiplus::Color(255, 0, 0, 0));
    broken.Write(L"image_resource.ini", L"[ImageRes]\r\nImageNumber=2\r\nImageID_1=one.png\r\nImageID_2=gone.png\r\n");
    broken.Write(L"window.ini", L"[a]\r\nImage=1\r\n[b]\r\nImage=2\r\nImageBkLeft=3\r\nText=x\r\n");
    struct Case {
        const char* name;
        std::wstring folder;
        const wchar_t* ini;
        size_t unresolved;
    };
    const std::wstring skin = ProgramFolder();
    const Case kCases[] = {
        {"missing file and number past the list", broken.Path(), L"window.ini", 2},
        {"login window", skin + L"Qnv_resource\\", L"login_window.ini", 0},
        {"picture viewer", skin + L"Qnv_resource\\", L"picture_viewer.ini", 0},
        {"gallery", skin + L"Qnv_resource\\gallery\\", L"gallery.ini", 0},
        {"library window", skin + L"Ziv_resource\\", L"__ostrel_window.ini", 0},
    };
    for (const Case& c : kCases) {
        const ImageNumbers numbers = CheckImageNumbers(c.folder, c.ini);
        EXPECT_GT(numbers.seen, 0) << c.name << ": no picture numbers read";
        std::wstring listed;
        for (const std::wstring& entry : numbers.unresolved)
            listed += L"\n  " + entry;
        EXPECT_EQ(c.unresolved, numbers.unresolved.size()) << c.name << listed;
    }
}

}  // namespace
