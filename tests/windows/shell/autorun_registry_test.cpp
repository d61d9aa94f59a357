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

}  // namespace

TEST_F(AutoRunTest, CommandQuotesThePathAndAsksForAHiddenStart)
{
    EXPECT_EQ(AutoRunCommand(L"C:\\A\\Quarn.exe"), L"\"C:\\A\\Quarn.exe\" -autorun");
    EXPECT_EQ(
        AutoRunCommand(L"C:\\Program Files\\Quarn\\Quarn.exe"), L"\"C:\\Program Files\\Quarn\\Quarn.exe\" -autorun");
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

namespace {

// Two Run keys below a scratch key of the user's, standing in for the
// machine's and the user's roots. A user without administrator rights
// cannot open the machine's Run key for writing; Wine grants every access,
// so a "machine" root without a Run key makes that open fail instead.
class RunKeyScratch {
public:
    explicit RunKeyScratch(bool machineWritable)
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        roots.machine = MakeRoot(L"\\machine", machineWritable);
        roots.user = MakeRoot(L"\\user", true);
    }
    ~RunKeyScratch()
    {
        RegCloseKey(roots.machine);
        RegCloseKey(roots.user);
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    }

    RunKeyRoots roots;

private:
    static constexpr wchar_t kScratch[] = L"Software\\QuarnTests";

    static HKEY MakeRoot(const std::wstring& name, bool withRunKey)
    {
        const std::wstring path = std::wstring(kScratch) + name;
        HKEY root = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &root, nullptr);
        HKEY run = nullptr;
        if (withRunKey && RegCreateKeyExW(root, kRunKey, 0, nullptr, 0, KEY_READ, nullptr, &run, nullptr) == 0)
            RegCloseKey(run);
        return root;
    }
};

void Put(HKEY root)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kRunKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    const wchar_t data[] = L"\"C:\\Old\\Quarn.exe\" -autorun";
    RegSetValueExW(key, L"Vorlane", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
    RegCloseKey(key);
}

}  // namespace

TEST(AutoRunFallback, AUserWithoutMachineRightsGetsTheEntryInTheirOwnKey)
{
    const std::wstring command = L"\"C:\\A\\Quarn.exe\" -autorun";
    const struct {
        const char* name;
        bool machineWritable;
        bool userBefore;
        bool machineBefore;
        bool enable;
        const wchar_t* machineAfter;  // null: no value
        const wchar_t* userAfter;
    } cases[] = {
        {"no rights: on writes the user's key", false, false, false, true, nullptr, command.c_str()},
        {"no rights: the user's entry counts and goes", false, true, false, false, nullptr, nullptr},
        {"rights: on writes the machine key", true, false, false, true, command.c_str(), nullptr},
        {"rights: off removes both", true, true, true, false, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunKeyScratch scratch(c.machineWritable);
        if (c.userBefore)
            Put(scratch.roots.user);
        if (c.machineBefore)
            Put(scratch.roots.machine);
        EXPECT_EQ(IsAutoRunRegistered(scratch.roots), c.userBefore || c.machineBefore);

        SetAutoRun(c.enable, L"C:\\A\\Quarn.exe", scratch.roots);
        std::wstring machine, user;
        const bool inMachine = ReadValue(scratch.roots.machine, machine);
        const bool inUser = ReadValue(scratch.roots.user, user);
        EXPECT_EQ(inMachine, c.machineAfter != nullptr);
        EXPECT_EQ(inUser, c.userAfter != nullptr);
        if (c.machineAfter && inMachine) {
            EXPECT_EQ(machine, c.machineAfter);
        }
        if (c.userAfter && inUser) {
            EXPECT_EQ(user, c.userAfter);
        }
        EXPECT_EQ(IsAutoRunRegistered(scratch.roots), c.enable);
    }
}
