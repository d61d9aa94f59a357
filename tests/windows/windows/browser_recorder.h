#pragma once
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include <windows.h>

// Makes url_recorder.exe, beside the test program, the system's handler for
// http and https addresses for the life of the object, and reads what it was
// given. The handlers in place before come back afterwards.
class DefaultBrowserRecorder {
public:
    DefaultBrowserRecorder()
    {
        const std::wstring folder = Folder();
        m_log = folder + L"opened_addresses.txt";
        DeleteFileW(m_log.c_str());
        const std::wstring command = L"\"" + folder + L"url_recorder.exe\" \"%1\"";
        for (int i = 0; i < 2; ++i) {
            m_old[i] = Read(kKeys[i]);
            Write(kKeys[i], command);
        }
    }
    ~DefaultBrowserRecorder()
    {
        for (int i = 0; i < 2; ++i)
            Write(kKeys[i], m_old[i]);
    }
    DefaultBrowserRecorder(const DefaultBrowserRecorder&) = delete;
    DefaultBrowserRecorder& operator=(const DefaultBrowserRecorder&) = delete;

    void Clear() { DeleteFileW(m_log.c_str()); }
    // The addresses opened so far, one a line.
    std::string Opened() const
    {
        std::ifstream file(m_log.c_str(), std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

private:
    static constexpr const wchar_t* kKeys[2] = {L"http\\shell\\open\\command", L"https\\shell\\open\\command"};

    static std::wstring Folder()
    {
        wchar_t self[MAX_PATH];
        const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring folder(self, length);
        return folder.erase(folder.find_last_of(L'\\') + 1);
    }
    static std::wstring Read(const wchar_t* key)
    {
        wchar_t value[1024];
        DWORD bytes = sizeof(value);
        if (RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
            return {};
        return value;
    }
    static void Write(const wchar_t* key, const std::wstring& value)
    {
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr)
            != ERROR_SUCCESS)
            return;
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
            DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }

    std::wstring m_log;
    std::wstring m_old[2];
};
