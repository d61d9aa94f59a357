#include "autorun_registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool ReadValue(HKEY root, std::wstring& data)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    if (RegGetValueW(root, kRunKey, L"Vorlane", RRF_RT_ANY, &type, buffer, &size) != ERROR_SUCCESS)
        return false;
    data = buffer;
    return type == REG_SZ;
}

void WriteUserValue()
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    const wchar_t data[] = L"\"C:\\Old\\Quarn.exe\" -autorun";
    RegSetValueExW(key, L"Vorlane", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
    RegCloseKey(key);
}

class AutoRunTest : public ::testing::Test {
protected:
    // The test runs in a shared prefix: leave no entry behind.
    void TearDown() override { SetAutoRun(false, L""); }
};

} // namespace

TEST_F(AutoRunTest, CommandQuotesThePathAndAsksForAHiddenStart)
{
    EXPECT_EQ(AutoRunCommand(L"C:\\A\\Quarn.exe"), L"\"C:\\A\\Quarn.exe\" -autorun");
    EXPECT_EQ(AutoRunCommand(L"C:\\Program Files\\Quarn\\Quarn.exe"),
              L"\"C:\\Program Files\\Quarn\\Quarn.exe\" -autorun");
}

TEST_F(AutoRunTest, TurningOnWritesTheMachineEntry)
{
    SetAutoRun(false, L"");
    ASSERT_FALSE(IsAutoRunRegistered());
    SetAutoRun(true, L"C:\\A\\Quarn.exe");
    EXPECT_TRUE(IsAutoRunRegistered());
    std::wstring data;
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, data));
    EXPECT_EQ(data, L"\"C:\\A\\Quarn.exe\" -autorun");

    SetAutoRun(true, RunningProgramPath());
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, data));
    EXPECT_EQ(data, L"\"" + RunningProgramPath() + L"\" -autorun");
}

TEST_F(AutoRunTest, TurningOffRemovesBothEntries)
{
    SetAutoRun(true, L"C:\\A\\Quarn.exe");
    WriteUserValue();
    std::wstring data;
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, data));

    SetAutoRun(false, L"");
    EXPECT_FALSE(IsAutoRunRegistered());
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, data));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, data));
}
