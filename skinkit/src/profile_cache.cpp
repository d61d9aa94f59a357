#include "profile_cache.h"

#include <cwctype>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include <windows.h>

#include "skinkit/file_stamp.h"
#include "win32kit/scoped_win.h"

namespace skinkit {

namespace {

// Skin files are a few kilobytes; anything far larger is not one.
constexpr DWORD kMostBytes = 4 * 1024 * 1024;
// A program reads a few dozen skin files; past this many, start again.
constexpr std::size_t kMostFiles = 64;

struct Entry {
    std::wstring key;
    std::optional<std::wstring> value;  // none: a line without '='
};

struct Section {
    std::wstring name;
    std::vector<Entry> entries;
};

struct Profile {
    FileStamp stamp;
    std::vector<Section> sections;
};

bool IsBlank(wchar_t c) { return std::iswspace(c) || c == 0x1A; }

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.data(), int(a.size()), b.data(), int(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring Trimmed(const std::wstring& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// The file's text as the system decodes it: UTF-16 or UTF-8 after their
// marks, plain ASCII otherwise. Other 8-bit text depends on the code page.
bool ReadText(const std::wstring& path, std::wstring& text)
{
    win32kit::ScopedHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMostBytes)
        return false;
    std::string bytes(std::size_t(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty()
        && (!ReadFile(file.Get(), bytes.data(), DWORD(bytes.size()), &read, nullptr) || read != bytes.size()))
        return false;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
        return true;
    }
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF')
        return false;
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        const int length = int(bytes.size() - 3);
        text.assign(std::size_t(length), L'\0');
        if (length > 0)
            text.resize(std::size_t(MultiByteToWideChar(CP_UTF8, 0, bytes.data() + 3, length, text.data(), length)));
        return true;
    }
    for (char byte : bytes) {
        if (static_cast<unsigned char>(byte) >= 0x80)
            return false;
    }
    text.assign(bytes.begin(), bytes.end());
    return true;
}

// Lines as the system reads them: a section header up to its last ']',
// untrimmed inside; a key up to its first '=' with the blanks around both
// sides dropped. Keys before any header belong to a section without a name.
std::vector<Section> Parse(const std::wstring& text)
{
    std::vector<Section> sections(1);
    std::size_t next = 0;
    while (next < text.size()) {
        std::size_t start = next;
        while (next < text.size() && text[next] != L'\n' && text[next] != L'\r')
            ++next;
        std::size_t end = next;
        while (next < text.size() && (text[next] == L'\n' || text[next] == L'\r'))
            ++next;
        while (start < end && IsBlank(text[start]))
            ++start;
        while (end > start && IsBlank(text[end - 1]))
            --end;
        if (start == end)
            continue;
        if (text[start] == L'[') {
            const std::size_t close = text.find_last_of(L']', end - 1);
            if (close != std::wstring::npos && close > start) {
                sections.push_back({text.substr(start + 1, close - start - 1), {}});
                continue;
            }
        }
        Entry entry;
        const std::size_t equals = text.find(L'=', start);
        if (equals != std::wstring::npos && equals < end) {
            std::size_t nameEnd = equals;
            while (nameEnd > start && IsBlank(text[nameEnd - 1]))
                --nameEnd;
            std::size_t valueStart = equals + 1;
            while (valueStart < end && IsBlank(text[valueStart]))
                ++valueStart;
            entry.key = text.substr(start, nameEnd - start);
            entry.value = text.substr(valueStart, end - valueStart);
        } else {
            entry.key = text.substr(start, end - start);
        }
        sections.back().entries.push_back(std::move(entry));
    }
    return sections;
}

// What the system copies into a buffer of `size`: one pair of matching
// quotes taken off, unless the value does not fit (then only the opening one).
std::wstring AsCopied(const std::wstring& value, std::size_t size)
{
    if (size == 0)
        return {};
    std::wstring text = value;
    bool quoted = false;
    if (text.size() >= 2 && (text[0] == L'\'' || text[0] == L'"') && text.back() == text[0]) {
        quoted = true;
        text.erase(0, 1);
    }
    const std::size_t whole = text.size();
    if (text.size() > size - 1)
        text.resize(size - 1);
    if (quoted && size >= whole && !text.empty())
        text.pop_back();
    return text;
}

class ProfileCache {
public:
    bool Find(const std::wstring& file, const std::wstring& section, const std::wstring& key, std::size_t size,
        std::wstring& value)
    {
        FileStamp stamp;
        if (!ReadFileStamp(file, stamp))
            return false;
        std::lock_guard<std::mutex> guard(lock_);
        const Profile* profile = Fresh(file, stamp);
        if (!profile)
            return false;
        value.clear();
        const std::wstring sectionName = Trimmed(section);
        const std::wstring keyName = Trimmed(key);
        for (const Section& candidate : profile->sections) {
            if (!SameText(candidate.name, sectionName))
                continue;
            // Only the first section of that name is looked in.
            for (const Entry& entry : candidate.entries) {
                if (SameText(entry.key, keyName)) {
                    if (entry.value)
                        value = AsCopied(*entry.value, size);
                    return true;
                }
            }
            return true;
        }
        return true;
    }

    void Forget(const std::wstring& file)
    {
        std::lock_guard<std::mutex> guard(lock_);
        profiles_.erase(file);
    }

private:
    // The profile of file as it is now, read again when its stamp changed
    // (called locked).
    const Profile* Fresh(const std::wstring& file, const FileStamp& stamp)
    {
        auto found = profiles_.find(file);
        if (found != profiles_.end() && found->second.stamp == stamp)
            return &found->second;
        std::wstring text;
        if (!ReadText(file, text)) {
            if (found != profiles_.end())
                profiles_.erase(found);
            return nullptr;
        }
        if (found == profiles_.end() && profiles_.size() >= kMostFiles)
            profiles_.clear();
        Profile& profile = profiles_[file];
        profile.stamp = stamp;
        profile.sections = Parse(text);
        return &profile;
    }

    std::mutex lock_;
    std::map<std::wstring, Profile> profiles_;
};

ProfileCache& Cache()
{
    static ProfileCache cache;
    return cache;
}

// The system looks for a bare name in the Windows folder.
bool IsFullPath(const std::wstring& file) { return file.find_first_of(L"\\/") != std::wstring::npos; }

}  // namespace

bool CachedProfileString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
    std::size_t size, std::wstring& value)
{
    if (!IsFullPath(file) || key.empty())
        return false;
    return Cache().Find(file, section, key, size, value);
}

void ForgetProfile(const std::wstring& file) { Cache().Forget(file); }

}  // namespace skinkit
