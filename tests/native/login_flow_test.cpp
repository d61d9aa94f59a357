#include "login_flow.h"

#include "cache_downloader.h"
#include "login_watchdog.h"
#include "md5.h"
#include "request_log.h"
#include "service_harness.h"

#include <gtest/gtest.h>

namespace {

const char kDemoName[] = "demo@quarn.test";
const std::string kDemoDigest = Md5Hex("quarn123");

// A login window's surroundings: its own vlconfig.xml and avatar file, a
// recording main window, and real avatar downloads or recorded ones that
// never end.
struct LoginBench {
    explicit LoginBench(std::string baseUrl = LocalService::BaseUrl(), bool realDownloads = true)
    {
        LocalService::Reset();
        services.baseUrl = std::move(baseUrl);
        services.configPath = folder.Path("vlconfig.xml");
        services.avatarPath = folder.Path("user_avatar.jpg");
        services.sink = sink;
        services.tracker = std::make_shared<WorkTracker>();
        services.timing.limits = {2000, 1, 3};
        if (realDownloads)
            services.downloader = std::make_shared<CacheDownloader>(nullptr, services.timing.limits);
        else
            services.downloader = std::make_shared<HangingDownloader>();
        WriteConfig("<login/>");
    }
    ~LoginBench() { services.tracker->WaitIdle(std::chrono::seconds(30)); }

    void WriteConfig(const std::string& login) const { folder.Write("vlconfig.xml", "<config>" + login + "</config>"); }
    std::string Config() const { return TempFolder::Read(services.configPath); }
    // The lParam of every UM_LOGIN_STATE so far.
    std::vector<std::intptr_t> States() const
    {
        std::vector<std::intptr_t> states;
        for (const SinkEvent& event : sink->Of(UM_LOGIN_STATE))
            states.push_back(event.b);
        return states;
    }
    bool AwaitEnd(int ms = 20000) const { return sink->WaitFor(UM_LOGIN_STATE, 2, ms); }

    TempFolder folder;
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
    LoginServices services;
    SignedInScope signedOut{"", false};
};

// How many logged requests carry `part` in their body.
int CountBodies(const std::string& part)
{
    int count = 0;
    for (const Json::Value& entry : LocalService::RequestLog())
        count += entry["body"].asString().find(part) != std::string::npos;
    return count;
}

ManualLogin Typed(const std::string& name, const std::string& password)
{
    return ChooseCredentials(true, name, password, {});
}

}  // namespace

TEST(LoginFlow, AnswersDecideTheOutcome)
{
    struct Case {
        const char* body;
        LoginOutcome outcome;
    } const kCases[] = {
        {"", LoginOutcome::NoAnswer},
        {"<html>Bad Request</html>", LoginOutcome::NoAnswer},
        {R"({"status":0,"data":{"uid":"10)", LoginOutcome::NoAnswer},
        {"[1]", LoginOutcome::NoAnswer},
        {R"({"status":"0","data":{}})", LoginOutcome::Refused},
        {R"({"status":0,"data":{"uid":1001}})", LoginOutcome::Refused},
        {R"({"status":2})", LoginOutcome::Unchanged},
        {R"({"status":1,"msg":"x"})", LoginOutcome::Refused},
        {R"({"status":0,"data":{"uid":"1001","token":"t"}})", LoginOutcome::SignedIn},
    };
    for (const Case& c : kCases) {
        LoginAnswer answer;
        EXPECT_EQ(JudgeLoginAnswer(c.body, answer), c.outcome) << c.body;
    }
}

TEST(LoginFlow, ErrorShownForEachEnd)
{
    struct Case {
        int state;
        bool signedIn;
        LoginError error;
    } const kCases[] = {
        {kLoginNetworkError, false, kLoginErrorNetwork},
        {kLoginEnded, false, kLoginErrorRefused},
        {kLoginEnded, true, kLoginErrorNone},
        {kLoginStarted, false, kLoginErrorNone},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(LoginErrorFor(c.state, c.signedIn), c.error) << c.state << " " << c.signedIn;
}

TEST(LoginFlow, UntouchedFieldsSendTheRememberedDigest)
{
    LoginFill remembered;
    remembered.userName = kDemoName;
    remembered.passwordDigest = kDemoDigest;
    ManualLogin untouched = ChooseCredentials(false, kDemoName, "**********", remembered);
    EXPECT_EQ(untouched.passwordDigest, kDemoDigest);
    ManualLogin edited = ChooseCredentials(true, kDemoName, "**********", remembered);
    EXPECT_EQ(edited.passwordDigest, Md5Hex("**********"));
}

// A login without any usable answer is a network error, not a refusal.
TEST(LoginFlow, NoAnswerIsANetworkErrorAndRefusalIsNot)
{
    struct Case {
        const char* name;
        std::string baseUrl;
        const char* fault;
        const char* password;
        std::intptr_t end;
        bool signedIn;
    } const kCases[] = {
        {"nothing listening", "http://127.0.0.1:1/", "normal", "quarn123", kLoginNetworkError, false},
        {"connection reset", LocalService::BaseUrl(), "down", "quarn123", kLoginNetworkError, false},
        {"error page instead of the answer", LocalService::BaseUrl(), "html", "quarn123", kLoginNetworkError, false},
        {"wrong password", LocalService::BaseUrl(), "normal", "wrong", kLoginEnded, false},
        {"right password", LocalService::BaseUrl(), "normal", "quarn123", kLoginEnded, true},
    };
    for (const Case& c : kCases) {
        LoginBench bench(c.baseUrl);
        LocalService::SetFault(c.fault);
        LoginFlow flow(bench.services);
        ASSERT_TRUE(flow.StartManual(Typed(kDemoName, c.password))) << c.name;
        ASSERT_TRUE(bench.AwaitEnd()) << c.name;
        EXPECT_EQ(bench.States(), (std::vector<std::intptr_t>{kLoginStarted, c.end})) << c.name;
        EXPECT_EQ(IsSignedIn(), c.signedIn) << c.name;
        EXPECT_FALSE(flow.Busy()) << c.name;
        LocalService::SetFault("normal");
    }
}

TEST(LoginFlow, ManualLoginStoresTheUserAndTheConfiguration)
{
    LoginBench bench;
    LoginFlow flow(bench.services);
    ManualLogin login = Typed(kDemoName, "quarn123");
    login.rememberPassword = true;
    ASSERT_TRUE(flow.StartManual(login));
    EXPECT_FALSE(flow.StartManual(login));  // one login at a time
    ASSERT_TRUE(bench.AwaitEnd());

    const SignedInUser user = CopySignedInUser();
    EXPECT_TRUE(user.signedIn);
    EXPECT_EQ(user.uid, "1001");
    EXPECT_EQ(user.passwordDigest, kDemoDigest);
    EXPECT_EQ(user.fansCount, "26");
    EXPECT_TRUE(platform::FileExists(bench.services.avatarPath));
    EXPECT_EQ(CountBodies("password=" + kDemoDigest), 1);
    const std::string config = bench.Config();
    EXPECT_NE(config.find("isRememberPwd=\"true\""), std::string::npos) << config;
    EXPECT_NE(config.find("token=\"" + TokenOf("1001") + "\""), std::string::npos) << config;
}

TEST(LoginFlow, AutomaticLoginSendsTheStoredLoginAndSavesOnlyTheToken)
{
    LoginBench bench;
    bench.WriteConfig("<login username=\"demo@quarn.test\" password=\"" + kDemoDigest
        + "\" isAutoLogin=\"yes\" token=\"old\" like_count=\"7\"/>");
    LoginFlow flow(bench.services);
    EXPECT_TRUE(flow.AutoLoginWanted());
    ASSERT_TRUE(flow.StartAutomatic());
    ASSERT_TRUE(bench.AwaitEnd());

    EXPECT_EQ(CountBodies("password=" + kDemoDigest), 1);
    const SignedInUser user = CopySignedInUser();
    EXPECT_TRUE(user.signedIn);
    EXPECT_EQ(user.userName, "");
    const std::string config = bench.Config();
    EXPECT_NE(config.find("token=\"" + TokenOf("1001") + "\""), std::string::npos) << config;
    EXPECT_NE(config.find("like_count=\"7\""), std::string::npos) << config;

    LoginBench empty;
    empty.folder.Write("vlconfig.xml", "<config/>");
    LoginFlow without(empty.services);
    EXPECT_FALSE(without.StartAutomatic());
    EXPECT_TRUE(empty.States().empty());
}

// An avatar that never arrives holds the login up for the bound only.
TEST(LoginFlow, MissingAvatarSignsInWithoutIt)
{
    LoginBench bench(LocalService::BaseUrl(), false);
    bench.services.timing.avatarLimit = std::chrono::milliseconds(300);
    LoginFlow flow(bench.services);
    ASSERT_TRUE(flow.StartManual(Typed(kDemoName, "quarn123")));
    ASSERT_TRUE(bench.AwaitEnd(10000));
    EXPECT_EQ(bench.States().back(), kLoginEnded);
    EXPECT_TRUE(IsSignedIn());
    EXPECT_FALSE(platform::FileExists(bench.services.avatarPath));
}

// The avatar file is replaced only by a new one that arrived whole; a login
// whose avatar download fails keeps the old picture, unless it was another
// user's.
TEST(LoginFlow, AFailedAvatarDownloadKeepsTheUsersOldAvatarOnly)
{
    const std::string avatar = LocalService::Fetch("avatars/u1001.jpg");
    ASSERT_FALSE(avatar.empty());
    struct Row {
        const char* name;
        const char* fault;
        const char* lastUid;  // of the user signed in before
        const char* after;  // the file's text after the login; empty: no file
    };
    const Row kRows[] = {
        {"another user's, avatar missing", "html&scope=pictures&status=404", "1002", ""},
        {"nobody's before, connection reset", "down&match=avatars", "", ""},
        {"avatar missing", "html&scope=pictures&status=404", "1001", "old avatar"},
        {"error page sent as success", "html&scope=pictures", "1001", "old avatar"},
        {"cut transfer", "short&match=avatars", "1001", "old avatar"},
        {"connection reset", "down&match=avatars", "1001", "old avatar"},
        {"a new avatar", "normal", "1001", nullptr},
        {"another user's, a new avatar", "normal", "1002", nullptr},
    };
    for (const Row& row : kRows) {
        LoginBench bench;
        bench.folder.Write("user_avatar.jpg", "old avatar");
        SignedInUser before;
        before.uid = row.lastUid;
        StoreSignedInUser(before);
        ASSERT_TRUE(LocalService::SetFault(row.fault)) << row.name;
        LoginFlow flow(bench.services);
        ASSERT_TRUE(flow.StartManual(Typed(kDemoName, "quarn123"))) << row.name;
        ASSERT_TRUE(bench.AwaitEnd()) << row.name;
        EXPECT_TRUE(IsSignedIn()) << row.name;
        const std::string expected = row.after ? row.after : avatar;
        EXPECT_EQ(platform::FileExists(bench.services.avatarPath), !expected.empty()) << row.name;
        if (!expected.empty()) {
            EXPECT_EQ(TempFolder::Read(bench.services.avatarPath), expected) << row.name;
        }
        LocalService::SetFault("normal");
    }
}

// The watchdog's end reaches the window at once, and the worker, woken in
// its wait, stops without signing in or saving anything.
TEST(LoginFlow, GivingUpStopsTheWorkerThroughItsWait)
{
    LoginBench bench(LocalService::BaseUrl(), false);
    bench.services.timing.avatarLimit = std::chrono::minutes(5);
    LoginFlow flow(bench.services);
    const std::string before = bench.Config();
    ASSERT_TRUE(flow.StartManual(Typed(kDemoName, "quarn123")));
    // The avatar download was asked for: the worker is in its wait.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    auto* downloads = static_cast<RecordingDownloader*>(bench.services.downloader.get());
    while (downloads->Calls().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(downloads->Calls().empty());

    EXPECT_TRUE(flow.GiveUp());
    EXPECT_EQ(bench.States(), (std::vector<std::intptr_t>{kLoginStarted, kLoginNetworkError}));
    EXPECT_FALSE(flow.Busy());
    EXPECT_FALSE(flow.GiveUp());
    EXPECT_TRUE(bench.services.tracker->WaitIdle(std::chrono::seconds(5)));
    EXPECT_FALSE(IsSignedIn());
    EXPECT_EQ(bench.Config(), before);
    EXPECT_EQ(bench.States().size(), 2u);
}

TEST(LoginFlow, WatchdogGivesUpOnTheSixtyFirstBusyTick)
{
    LoginWatchdog watchdog;
    for (int tick = 1; tick <= 60; ++tick)
        ASSERT_EQ(watchdog.Tick(true), LoginWatchdog::Step::Wait) << tick;
    EXPECT_EQ(watchdog.Tick(true), LoginWatchdog::Step::GiveUp);
    EXPECT_EQ(watchdog.Tick(true), LoginWatchdog::Step::Wait);
    EXPECT_EQ(watchdog.Tick(false), LoginWatchdog::Step::Stop);
    for (int tick = 1; tick <= 60; ++tick)
        ASSERT_EQ(watchdog.Tick(true), LoginWatchdog::Step::Wait) << "after a stop " << tick;
}

TEST(LoginFlow, SignOutTellsTheServiceAndLeavesTheConfiguration)
{
    LoginBench bench;
    SignedInScope signedIn("1001");
    const std::string before = bench.Config();
    SignOut(bench.services);
    EXPECT_FALSE(IsSignedIn());
    ASSERT_TRUE(bench.services.tracker->WaitIdle(std::chrono::seconds(10)));
    EXPECT_EQ(CountRequests("c_logout&&uid=1001&token=" + TokenOf("1001")), 1);
    EXPECT_EQ(bench.Config(), before);
}

// The login window is made once and shown many times; each show fills it from
// the file as it is then, not as it was when the window was made.
TEST(LoginFlow, FillReadsTheFileAsItIsNow)
{
    struct Row {
        const char* name;
        const char* atStart;  // the login element when the flow is made
        const char* now;  // the file when the window shows; null: gone
        bool remember;
        bool autoLogin;
        const char* userName;
    };
    const char kBoth[] = "<login isRememberPwd=\"true\" isAutoLogin=\"true\" username=\"me\"/>";
    const char kNeither[] = "<login isRememberPwd=\"false\" isAutoLogin=\"false\" username=\"me\"/>";
    const char kOtherName[] = "<login isRememberPwd=\"true\" username=\"you\"/>";
    const Row kRows[] = {
        {"file gone since", kBoth, nullptr, false, false, ""},
        {"boxes cleared since", kBoth, kNeither, false, false, ""},
        {"boxes set since", "<login/>", kBoth, true, true, "me"},
        {"name changed since", kBoth, kOtherName, true, false, "you"},
    };
    for (const Row& row : kRows) {
        LoginBench bench;
        bench.WriteConfig(row.atStart);
        LoginFlow flow(bench.services);
        if (row.now)
            bench.WriteConfig(row.now);
        else
            platform::RemoveFile(bench.services.configPath);
        const LoginFill fill = flow.Fill();
        EXPECT_EQ(fill.rememberPassword, row.remember) << row.name;
        EXPECT_EQ(fill.autoLogin, row.autoLogin) << row.name;
        EXPECT_EQ(fill.userName, row.userName) << row.name;
    }
}

// The settings dialog turns automatic login off while the automatic login
// runs: the login's token and the dialog's choice both stay.
TEST(LoginFlow, AutomaticLoginKeepsWhatTheSettingsWroteMeanwhile)
{
    LoginBench bench;
    bench.WriteConfig(
        "<login username=\"demo@quarn.test\" password=\"" + kDemoDigest + "\" isAutoLogin=\"true\" token=\"old\"/>");
    LoginFlow flow(bench.services);
    ConfigDocument settings;
    ASSERT_TRUE(settings.Load(bench.services.configPath));
    ASSERT_TRUE(settings.WriteAutoLogin(false));
    ASSERT_TRUE(flow.StartAutomatic());
    ASSERT_TRUE(bench.AwaitEnd());
    const std::string config = bench.Config();
    EXPECT_NE(config.find("token=\"" + TokenOf("1001") + "\""), std::string::npos) << config;
    EXPECT_NE(config.find("isAutoLogin=\"false\""), std::string::npos) << config;
}
