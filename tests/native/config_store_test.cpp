#include "config_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform.h"
#include "temp_folder.h"

namespace {

LoginResult SampleLogin()
{
    LoginResult result;
    result.userName = "demo@quarn.test";
    result.passwordDigest = "0cc175b9c0f1b6a831c399e269772661";
    result.rememberPassword = false;
    result.autoLogin = true;
    result.uid = "1001";
    result.token = "tok-1";
    result.imageCount = "12";
    result.likeCount = "3";
    result.followCount = "4";
    result.fansCount = "5";
    result.avatarUrl = "http://127.0.0.1/a.jpg";
    return result;
}

}  // namespace

TEST(ConfigStore, WorkerReadsTakeWhatIsThereAndLeaveTheRestEmpty)
{
    TempFolder folder;
    std::string full = folder.Write("full.xml", "<cfg><login uid=\"7\" token=\"t\" username=\"me@x\"/></cfg>");
    LoginCredentials credentials = ReadLoginCredentials(full);
    EXPECT_EQ(credentials.uid, "7");
    EXPECT_EQ(credentials.token, "t");
    EXPECT_EQ(credentials.userName, "me@x");

    std::string partial = folder.Write("partial.xml", "<cfg><other/><login token=\"t\"/></cfg>");
    credentials = ReadLoginCredentials(partial);
    EXPECT_EQ(credentials.uid, "");
    EXPECT_EQ(credentials.token, "t");

    EXPECT_EQ(ReadLoginCredentials(folder.Path("absent.xml")).token, "");
    EXPECT_EQ(ReadLoginCredentials(folder.Write("broken.xml", "<cfg><login token=")).token, "");
    EXPECT_EQ(ReadLoginCredentials(folder.Write("nologin.xml", "<cfg><Login token=\"t\"/></cfg>")).token, "");
}

TEST(ConfigStore, UserProfileCountsAndResult)
{
    TempFolder folder;
    UserProfile profile;
    std::string path = folder.Write("a.xml",
        "<r><login uid=\"7\" token=\"t\" image_count=\"12\" like_count=\"x\" "
        "follow_count=\"3abc\"/></r>");
    EXPECT_EQ(ReadUserProfile(path, profile), 0);
    EXPECT_EQ(profile.uid, "7");
    EXPECT_EQ(profile.imageCount, 12);
    EXPECT_EQ(profile.likeCount, 0);
    EXPECT_EQ(profile.followCount, 3);
    EXPECT_EQ(profile.fansCount, 0);

    UserProfile none;
    EXPECT_EQ(ReadUserProfile(folder.Write("b.xml", "<r><notlogin/></r>"), none), -1);
    EXPECT_EQ(ReadUserProfile(folder.Path("absent.xml"), none), 0);
    EXPECT_EQ(none.uid, "");
}

TEST(ConfigStore, LoginFillNeedsExactTrueWhileAutoLoginAcceptsYes)
{
    TempFolder folder;
    ConfigDocument exact;
    ASSERT_TRUE(exact.Load(folder.Write("a.xml",
        "<r><login isRememberPwd=\"true\" isAutoLogin=\"true\" "
        "username=\"me\" password=\"abc\"/></r>")));
    LoginFill fill = exact.ReadLoginFill();
    EXPECT_TRUE(fill.rememberPassword);
    EXPECT_TRUE(fill.autoLogin);
    EXPECT_EQ(fill.userName, "me");
    EXPECT_EQ(fill.passwordDigest, "abc");
    EXPECT_TRUE(exact.ReadAutoLogin());

    ConfigDocument yes;
    ASSERT_TRUE(yes.Load(folder.Write("b.xml",
        "<r><login isRememberPwd=\"yes\" isAutoLogin=\"yes\" "
        "username=\"me\" password=\"abc\"/></r>")));
    fill = yes.ReadLoginFill();
    EXPECT_FALSE(fill.rememberPassword);
    EXPECT_FALSE(fill.autoLogin);
    EXPECT_EQ(fill.userName, "");
    EXPECT_TRUE(yes.ReadAutoLogin());

    ConfigDocument other;
    ASSERT_TRUE(other.Load(folder.Write("c.xml", "<r><login isAutoLogin=\"1\"/></r>")));
    EXPECT_TRUE(other.ReadAutoLogin());
    ASSERT_TRUE(other.Load(folder.Write("d.xml", "<r><login isAutoLogin=\"maybe\"/></r>")));
    EXPECT_FALSE(other.ReadAutoLogin());
    ASSERT_TRUE(other.Load(folder.Write("e.xml", "<r><login/></r>")));
    EXPECT_FALSE(other.ReadAutoLogin());
}

TEST(ConfigStore, FirstManualLoginAppendsAllTwelveAttributesInOrder)
{
    TempFolder folder;
    std::string path = folder.Write("vlconfig.xml", "<config><login /></config>");
    ConfigDocument document;
    ASSERT_TRUE(document.Load(path));
    ASSERT_TRUE(document.SaveLoginResult(SampleLogin()));

    std::string saved = folder.Read(path);
    std::vector<std::string> order = {"username=", "password=", "bLogined=", "isRememberPwd=", "uid=", "token=",
        "image_count=", "like_count=", "follow_count=", "fans_count=", "avatar=", "isAutoLogin="};
    std::string::size_type last = 0;
    for (const std::string& name : order) {
        std::string::size_type at = saved.find(" " + name);
        ASSERT_NE(at, std::string::npos) << name;
        EXPECT_GT(at, last) << name;
        last = at;
    }
    // The digest is stored even with the save-password box off.
    EXPECT_NE(saved.find("password=\"0cc175b9c0f1b6a831c399e269772661\""), std::string::npos);
    EXPECT_NE(saved.find("isRememberPwd=\"false\""), std::string::npos);
    EXPECT_NE(saved.find("bLogined=\"true\""), std::string::npos);
    EXPECT_EQ(ReadLoginCredentials(path).token, "tok-1");
}

TEST(ConfigStore, ExistingAttributesAreReplacedWhereTheyStand)
{
    TempFolder folder;
    std::string path = folder.Write("vlconfig.xml", "<config><login token=\"old\" keep=\"x\" uid=\"1\"/></config>");
    ConfigDocument document;
    ASSERT_TRUE(document.Load(path));
    ASSERT_TRUE(document.SaveToken("new"));
    std::string saved = folder.Read(path);
    EXPECT_NE(saved.find("token=\"new\" keep=\"x\" uid=\"1\""), std::string::npos) << saved;

    ASSERT_TRUE(document.WriteAutoLogin(false));
    ConfigDocument reread;
    ASSERT_TRUE(reread.Load(path));
    EXPECT_FALSE(reread.ReadAutoLogin());
    ASSERT_TRUE(document.WriteAutoLogin(true));
    ASSERT_TRUE(reread.Load(path));
    EXPECT_TRUE(reread.ReadAutoLogin());
}

TEST(ConfigStore, WritersSkipDocumentsWithoutLoginAndNeverCreateTheFile)
{
    TempFolder folder;
    ConfigDocument missing;
    EXPECT_FALSE(missing.Load(folder.Path("vlconfig.xml")));
    EXPECT_FALSE(missing.SaveLoginResult(SampleLogin()));
    EXPECT_FALSE(missing.SaveToken("t"));
    EXPECT_FALSE(platform::FileExists(folder.Path("vlconfig.xml")));

    std::string path = folder.Write("other.xml", "<config><user/></config>");
    ConfigDocument noLogin;
    ASSERT_TRUE(noLogin.Load(path));
    EXPECT_FALSE(noLogin.WriteAutoLogin(true));
    EXPECT_EQ(folder.Read(path), "<config><user/></config>");
}

TEST(ConfigStore, ReadersNeverSeeAHalfWrittenFile)
{
    TempFolder folder;
    std::string path = folder.Write("vlconfig.xml", "<config><login/></config>");
    ConfigDocument first;
    ASSERT_TRUE(first.Load(path));
    ASSERT_TRUE(first.SaveLoginResult(SampleLogin()));

    std::atomic<bool> done{false};
    std::atomic<int> emptyReads{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                if (ReadLoginCredentials(path).token.empty())
                    ++emptyReads;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    int failedSaves = 0;
    for (int i = 0; i < 100; ++i)
        failedSaves += first.SaveToken("tok-" + std::to_string(i)) ? 0 : 1;
    done = true;
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(failedSaves, 0);
    EXPECT_EQ(emptyReads, 0);
    EXPECT_EQ(ReadLoginCredentials(path).token, "tok-99");
}

// The file holds the ANSI code page (GBK on Chinese Windows). Read as UTF-8, a
// byte such as 0xE6 or 0xC2 claims the quote after it; every row below then
// failed to load or lost the attributes after the name.
TEST(ConfigStore, AnsiNamesSurviveLoadAndSave)
{
    struct Case {
        const char* name;
        std::string file;
        std::string userName;  // as the file holds it
        bool utf8;
    };
    const std::string bom = "\xEF\xBB\xBF";
    const Case kCases[] = {
        {"lead byte before the closing quote", "<c><login token=\"t\" username=\"\xCD\xF5\xE6\xC3\"/></c>",
            "\xCD\xF5\xE6\xC3", false},
        {"trail byte that is a lead byte", "<c><login username=\"\xC0\xEE\" token=\"t\"/></c>", "\xC0\xEE", false},
        {"declaration without an encoding",
            "<?xml version=\"1.0\" ?><c><login username=\"\xCD\xF5\xE6\xC3\" token=\"t\"/></c>", "\xCD\xF5\xE6\xC3",
            false},
        {"single quotes", "<c><login username='\xB3\xC2' token='t'/></c>", "\xB3\xC2", false},
        {"four-byte lead", "<c><login username=\"\xF0\xAE\" token=\"t\"/></c>", "\xF0\xAE", false},
        {"backslash trail byte", "<c><login username=\"\x81\x5C\" token=\"t\"/></c>", "\x81\x5C", false},
        {"UTF-8 with a byte-order mark", bom + "<c><login username=\"\xE7\x8E\x8B\" token=\"t\"/></c>", "\xE7\x8E\x8B",
            true},
    };
    for (const Case& c : kCases) {
        TempFolder folder;
        std::string path = folder.Write("vlconfig.xml", c.file);
        std::string expected = c.utf8 ? c.userName : platform::Utf8FromAnsi(c.userName);
        LoginCredentials credentials = ReadLoginCredentials(path);
        EXPECT_EQ(credentials.userName, expected) << c.name;
        EXPECT_EQ(credentials.token, "t") << c.name;

        ConfigDocument document;
        ASSERT_TRUE(document.Load(path)) << c.name;
        LoginResult login = SampleLogin();
        login.userName = expected;
        login.rememberPassword = true;
        ASSERT_TRUE(document.SaveLoginResult(login)) << c.name;
        std::string saved = folder.Read(path);
        EXPECT_EQ(saved.compare(0, bom.size(), bom) == 0, c.utf8) << c.name;
        EXPECT_NE(saved.find("username=\"" + c.userName + "\""), std::string::npos) << c.name;
        ConfigDocument reread;
        ASSERT_TRUE(reread.Load(path)) << c.name;
        EXPECT_EQ(reread.ReadLoginFill().userName, expected) << c.name;
    }
}

namespace {

// One writer of the file, as the login flow and the settings dialog call them.
enum class Writer { Token, AutoLoginOn, AutoLoginOff, ManualLogin };

bool Write(ConfigDocument& document, Writer writer)
{
    switch (writer) {
    case Writer::Token:
        return document.SaveToken("fresh-token");
    case Writer::AutoLoginOn:
        return document.WriteAutoLogin(true);
    case Writer::AutoLoginOff:
        return document.WriteAutoLogin(false);
    case Writer::ManualLogin:
        return document.SaveLoginResult(SampleLogin());
    }
    return false;
}

// Each attribute as the saved file spells it.
bool Holds(const std::string& saved, const std::string& name, const std::string& value)
{
    return saved.find(" " + name + "=\"" + value + "\"") != std::string::npos;
}

// The attributes of "name=value name=value" that the saved file lacks.
std::string Missing(const std::string& saved, const std::string& expected)
{
    std::string missing;
    std::string::size_type at = 0;
    while (at < expected.size()) {
        std::string::size_type end = expected.find(' ', at);
        end = end == std::string::npos ? expected.size() : end;
        const std::string field = expected.substr(at, end - at);
        const std::string::size_type equals = field.find('=');
        if (!Holds(saved, field.substr(0, equals), field.substr(equals + 1)))
            missing += field + " ";
        at = end + 1;
    }
    return missing;
}

std::string YesNoText(bool value) { return value ? "true" : "false"; }

const std::string kMark = "\xEF\xBB\xBF";
const std::string kGbkFile
    = "<c><login username=\"\xCD\xF5\xE6\xC3\" uid=\"7\" token=\"old\" isAutoLogin=\"false\"/></c>";
const std::string kUtf8File = kMark + "<c><login username=\"\xE7\x8E\x8B\" token=\"old\" isAutoLogin=\"true\"/></c>";
const std::string kPlainFile = "<c><login token=\"old\" uid=\"1\"/></c>";
const std::string kGbkName = "username=\xCD\xF5\xE6\xC3";
const std::string kUtf8Name = "username=\xE7\x8E\x8B";
const std::string kManual = "username=demo@quarn.test uid=1001 bLogined=true fans_count=5 like_count=3";

}  // namespace

// The settings dialog and the login flow each hold a copy loaded earlier;
// whichever writes second must not put back what its copy still says about
// the fields of the first.
TEST(ConfigStore, ASecondHolderKeepsWhatTheFirstWrote)
{
    struct Row {
        const char* name;
        const std::string& file;
        Writer first;
        Writer second;
        std::string expected;  // "name=value ..." as the saved file holds them
    };
    const Row kRows[] = {
        {"GBK: token, then box", kGbkFile, Writer::Token, Writer::AutoLoginOn,
            kGbkName + " uid=7 token=fresh-token isAutoLogin=true"},
        {"UTF-8: box, then token", kUtf8File, Writer::AutoLoginOff, Writer::Token,
            kUtf8Name + " token=fresh-token isAutoLogin=false"},
        {"manual login, then box", kPlainFile, Writer::ManualLogin, Writer::AutoLoginOff,
            kManual + " token=tok-1 isAutoLogin=false"},
        {"manual login, then token", kPlainFile, Writer::ManualLogin, Writer::Token,
            kManual + " token=fresh-token isAutoLogin=true"},
    };
    for (const Row& row : kRows) {
        TempFolder folder;
        const std::string path = folder.Write("vlconfig.xml", row.file);
        ConfigDocument earlier;
        ConfigDocument later;
        ASSERT_TRUE(earlier.Load(path)) << row.name;
        ASSERT_TRUE(later.Load(path)) << row.name;
        ASSERT_TRUE(Write(earlier, row.first)) << row.name;
        ASSERT_TRUE(Write(later, row.second)) << row.name;
        const std::string saved = folder.Read(path);
        EXPECT_EQ(Missing(saved, row.expected), "") << row.name << "\n" << saved;
        EXPECT_EQ(saved.rfind(kMark, 0) == 0, row.file.rfind(kMark, 0) == 0) << row.name;
        // The holder's copy is now the file as written.
        EXPECT_EQ(later.ReadAutoLogin(), Holds(saved, "isAutoLogin", "true")) << row.name;
    }
}

// A file that went away or changed shape since the holder loaded it is not
// written over with the holder's copy.
TEST(ConfigStore, WritersLeaveAFileThatChangedUnderThemAlone)
{
    struct Row {
        const char* name;
        const char* now;  // the file when the writer runs; null: gone
        Writer writer;
    };
    const Row kRows[] = {
        {"file removed", nullptr, Writer::AutoLoginOn},
        {"file broken", "<config><login token=", Writer::Token},
        {"no login element any more", "<config><user/></config>", Writer::ManualLogin},
        {"no root any more", "", Writer::AutoLoginOff},
    };
    for (const Row& row : kRows) {
        TempFolder folder;
        const std::string path = folder.Write("vlconfig.xml", "<config><login token=\"t\"/></config>");
        ConfigDocument document;
        ASSERT_TRUE(document.Load(path)) << row.name;
        if (row.now)
            folder.Write("vlconfig.xml", row.now);
        else
            platform::RemoveFile(path);
        EXPECT_FALSE(Write(document, row.writer)) << row.name;
        EXPECT_EQ(platform::FileExists(path), row.now != nullptr) << row.name;
        EXPECT_EQ(folder.Read(path), row.now ? row.now : "") << row.name;
    }
}

// The automatic login's worker and the settings dialog write at the same
// time, each from a copy loaded before either began.
TEST(ConfigStore, WritersOnTwoThreadsKeepEachOthersFields)
{
    struct Row {
        const char* name;
        const std::string& file;
        std::string kept;  // "name=value ..." that neither thread writes
    };
    const Row kRows[] = {
        {"GBK name", kGbkFile, kGbkName + " uid=7"},
        {"UTF-8 with a mark", kUtf8File, kUtf8Name},
        {"plain", kPlainFile, "uid=1"},
    };
    constexpr int kRounds = 60;
    for (const Row& row : kRows) {
        TempFolder folder;
        const std::string path = folder.Write("vlconfig.xml", row.file);
        ConfigDocument signIn;
        ConfigDocument settings;
        ASSERT_TRUE(signIn.Load(path)) << row.name;
        ASSERT_TRUE(settings.Load(path)) << row.name;
        // The settings end on the opposite of what the file held at the start.
        const bool lastBox = !settings.ReadAutoLogin();
        std::atomic<int> failures{0};
        std::thread tokens([&] {
            for (int i = 0; i < kRounds; ++i)
                failures += signIn.SaveToken("tok-" + std::to_string(i)) ? 0 : 1;
        });
        std::thread boxes([&] {
            for (int i = kRounds - 1; i >= 0; --i)
                failures += settings.WriteAutoLogin(i % 2 == 0 ? lastBox : !lastBox) ? 0 : 1;
        });
        tokens.join();
        boxes.join();
        const std::string saved = folder.Read(path);
        EXPECT_EQ(failures, 0) << row.name;
        const std::string written = "token=tok-" + std::to_string(kRounds - 1) + " isAutoLogin=" + YesNoText(lastBox);
        EXPECT_EQ(Missing(saved, row.kept + " " + written), "") << row.name << "\n" << saved;
        EXPECT_EQ(saved.rfind(kMark, 0) == 0, row.file.rfind(kMark, 0) == 0) << row.name;
    }
}
