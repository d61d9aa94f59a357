// Skin values are read once per file and answered from memory: every answer
// must be the one the system's own profile reader gives for the same file,
// whatever shape its lines have, and a file that changes is read again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skinkit/ini_file.h"
#include "test_window.h"

namespace {

// What the skin reader gives, next to what the system gives, for one key.
struct Answers {
    std::wstring ours;
    std::wstring system;
};

Answers Read(const std::wstring& file, const wchar_t* section, const wchar_t* key)
{
    wchar_t ours[256] = L"untouched";
    if (!CIniFile::GetKeyValue(file.c_str(), section, const_cast<wchar_t*>(key), ours, 256))
        ours[0] = L'\0';
    wchar_t system[256] = {};
    GetPrivateProfileStringW(section, key, L"", system, 256, file.c_str());
    return {ours, system};
}

std::wstring WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return path;
}

// Bytes as written, NULs included.
template <std::size_t N> std::string Bytes(const char (&text)[N]) { return std::string(text, N - 1); }

struct Lookup {
    const wchar_t* section;
    const wchar_t* key;
};

TEST(ProfileReadingTest, EveryLineShapeIsAnsweredAsTheSystemAnswersIt)
{
    const std::wstring x254(254, L'x');
    const std::wstring x255(255, L'x');
    const std::wstring text = L"top=before any section\r\n"
                              L"[s]\r\n"
                              L"plain=value\r\n"
                              L"  spaced  =   padded value   \r\n"
                              L"Case=Upper\r\n"
                              L"dup=first\r\ndup=second\r\n"
                              L"quoted=\"in quotes\"\r\nsingle='single'\r\nlonequote=\"\r\nmismatched=\"abc'\r\n"
                              L"bare=\"\"\r\n"
                              L"empty=\r\nnoequals\r\neq=a=b\r\nsemi=value ; not a comment\r\n;comment=hidden\r\n"
                              L"tab=\tx\t\r\n"
                              L"chinese=记住密码\r\n"
                              L"long="
        + std::wstring(300, L'y') + L"\r\nfits=\"" + x254 + L"\"\r\novershoots=\"" + x255
        + L"\"\r\n"
          L"[ s ]\r\nspacedsection=1\r\n"
          L"[s]\r\nagain=second section\r\n"
          L"[S2]\rk=v\n[broken\nafter=broken header\r\n"
          L"[]\r\nnameless=1\r\n"
          L"[last]]\r\nk=closing bracket kept in the name\r\n";
    ScratchFolder folder;
    const std::wstring utf16 = folder.Write(L"shapes.ini", text);
    const Lookup lookups[] = {
        {L"s", L"plain"},
        {L"S", L"PLAIN"},
        {L" s ", L" plain "},
        {L"s", L"spaced"},
        {L"s", L"case"},
        {L"s", L"dup"},
        {L"s", L"quoted"},
        {L"s", L"single"},
        {L"s", L"lonequote"},
        {L"s", L"mismatched"},
        {L"s", L"bare"},
        {L"s", L"empty"},
        {L"s", L"noequals"},
        {L"s", L"eq"},
        {L"s", L"semi"},
        {L"s", L";comment"},
        {L"s", L"tab"},
        {L"s", L"chinese"},
        {L"s", L"long"},
        {L"s", L"fits"},
        {L"s", L"overshoots"},
        {L"s", L"spacedsection"},
        {L"s", L"again"},
        {L"S2", L"k"},
        {L"s2", L"after"},
        {L"S2", L"[broken"},
        {L"", L"top"},
        {L"", L"nameless"},
        {L"last]", L"k"},
        {L"last", L"k"},
        {L"nosuch", L"plain"},
        {L"s", L"missing"},
    };
    for (const Lookup& lookup : lookups) {
        const Answers answers = Read(utf16, lookup.section, lookup.key);
        EXPECT_EQ(answers.ours, answers.system) << "[" << lookup.section << "] " << lookup.key;
    }
    // The answers were read, not defaults: a few, spelled out.
    EXPECT_EQ(Read(utf16, L"s", L"spaced").ours, L"padded value");
    EXPECT_EQ(Read(utf16, L"s", L"quoted").ours, L"in quotes");
    EXPECT_EQ(Read(utf16, L"s", L"chinese").ours, L"记住密码");
    EXPECT_EQ(Read(utf16, L"s", L"dup").ours, L"first");
}

TEST(ProfileReadingTest, EachEncodingReadsAsTheSystemReadsIt)
{
    ScratchFolder folder;
    struct File {
        const char* name;
        std::string bytes;
        const wchar_t* k = nullptr;  // set where the system's answer is not the one to give
    };
    const std::vector<File> files = {
        {"utf8 with its mark", Bytes("\xEF\xBB\xBF[s]\r\nk=\xE8\xAE\xB0\xE4\xBD\x8F\r\nn=1\r\n")},
        {"plain ASCII", Bytes("[s]\r\nk=ascii\r\nn=2\r\n")},
        {"an 8-bit code page", Bytes("[s]\r\nk=caf\xE9\r\nn=3\r\n")},
        {"empty", Bytes("")},
        {"only a mark", Bytes("\xFF\xFE")},
        // The system reads past the end for the half character (Wine answers
        // "v" and whatever follows in its memory); it is dropped.
        {"an odd byte after the mark", Bytes("\xFF\xFE[\0s\0]\0\n\0k\0=\0v\0z"), L"v"},
    };
    int number = 0;
    for (const File& file : files) {
        const std::wstring path
            = WriteBytes(folder.Path() + L"encoding" + std::to_wstring(++number) + L".ini", file.bytes);
        for (const wchar_t* key : {L"k", L"n", L"missing"}) {
            const Answers answers = Read(path, L"s", key);
            const bool own = file.k && std::wstring(key) == L"k";
            EXPECT_EQ(answers.ours, own ? std::wstring(file.k) : answers.system) << file.name << ", key " << key;
        }
        DeleteFileW(path.c_str());
    }
}

TEST(ProfileReadingTest, AFileThatChangesOrIsWrittenIsReadAgain)
{
    ScratchFolder folder;
    const std::wstring path = folder.Write(L"changing.ini", L"[s]\r\nk=old\r\n");
    EXPECT_EQ(Read(path, L"s", L"k").ours, L"old");
    // Another writer, and a longer file: its stamp changes.
    folder.Write(L"changing.ini", L"[s]\r\nk=replaced\r\n");
    EXPECT_EQ(Read(path, L"s", L"k").ours, L"replaced");
    // The same size written at once: the write through the reader's own
    // class drops what it read.
    EXPECT_EQ(
        1, CIniFile::SetKeyValue(path.c_str(), L"s", const_cast<wchar_t*>(L"k"), const_cast<wchar_t*>(L"written")));
    EXPECT_EQ(Read(path, L"s", L"k").ours, L"written");
    DeleteFileW(path.c_str());
    const Answers gone = Read(path, L"s", L"k");
    EXPECT_EQ(gone.ours, L"");
    EXPECT_EQ(gone.ours, gone.system);
}

}  // namespace
