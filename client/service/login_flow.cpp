#include "login_flow.h"

#include "downloader.h"
#include "endpoints.h"
#include "json_read.h"
#include "md5.h"
#include "message_sink.h"
#include "platform.h"
#include "work_tracker.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

// One login worker's run. The worker and the watchdog race to end it; the
// first one decides, so a login the watchdog gave up on never signs in
// afterwards, and one that is already storing its result is not given up.
class LoginAttempt {
public:
    // The watchdog's end: wakes the worker's waits.
    bool Cancel()
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (state_ != State::Running)
                return false;
            state_ = State::Cancelled;
        }
        wake_.notify_all();
        return true;
    }
    // The worker's end: false when the watchdog came first.
    bool Finish()
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (state_ != State::Running)
            return false;
        state_ = State::Finished;
        return true;
    }
    // Waits up to `time`; false once cancelled.
    bool Pause(std::chrono::milliseconds time)
    {
        std::unique_lock<std::mutex> guard(lock_);
        wake_.wait_for(guard, time, [this] { return state_ == State::Cancelled; });
        return state_ != State::Cancelled;
    }

private:
    enum class State { Running, Cancelled, Finished };
    std::mutex lock_;
    std::condition_variable wake_;
    State state_ = State::Running;
};

enum class LoginKind { Manual, Automatic };

}  // namespace

struct LoginFlowState {
    explicit LoginFlowState(LoginServices s)
        : services(std::move(s))
    {
    }

    const LoginServices services;
    // The window reads the configuration while a worker may save it.
    mutable std::mutex configLock;
    ConfigDocument config;
    std::atomic<bool> busy{false};
    std::mutex attemptLock;
    std::shared_ptr<LoginAttempt> manualAttempt;
};

namespace {

using SharedState = std::shared_ptr<LoginFlowState>;

// True when the download ended; false when the wait ran out or was cancelled.
bool AwaitDownload(const std::atomic<bool>& ended, const LoginTiming& timing, LoginAttempt& attempt)
{
    const auto deadline = std::chrono::steady_clock::now() + timing.avatarLimit;
    while (!ended) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        auto step = std::min<std::chrono::steady_clock::duration>(timing.avatarStep, deadline - now);
        if (!attempt.Pause(std::chrono::duration_cast<std::chrono::milliseconds>(step)))
            return false;
    }
    return true;
}

// The user's old avatar stays until the new one is whole: the downloader
// writes it aside and moves it over the old one only after a complete
// transfer, so a failed download keeps the old picture. Another user's
// picture never stands for this one, and an answer without one leaves none.
void FetchAvatar(const LoginServices& services, const LoginAnswer& answer, LoginAttempt& attempt)
{
    const std::string& url = answer.avatarUrl;
    const std::string lastUid = CopySignedInUser().uid;
    if (url.empty() || lastUid.empty() || lastUid != answer.uid)
        platform::RemoveFile(services.avatarPath);
    if (url.empty())
        return;
    auto ended = std::make_shared<std::atomic<bool>>(false);
    services.downloader->FetchAlwaysThen(url, services.avatarPath, [ended](bool) { *ended = true; });
    // Past the bound the user is signed in without waiting for the avatar.
    AwaitDownload(*ended, services.timing, attempt);
}

void StoreResult(LoginFlowState& shared, LoginKind kind, const ManualLogin& login, const LoginAnswer& answer)
{
    std::lock_guard<std::mutex> guard(shared.configLock);
    if (kind == LoginKind::Automatic) {
        shared.config.SaveToken(answer.token);
        return;
    }
    LoginResult result;
    result.userName = login.userName;
    result.passwordDigest = login.passwordDigest;
    result.rememberPassword = login.rememberPassword;
    result.autoLogin = login.autoLogin;
    result.uid = answer.uid;
    result.token = answer.token;
    result.imageCount = answer.imageCount;
    result.likeCount = answer.likeCount;
    result.followCount = answer.followCount;
    result.fansCount = answer.fansCount;
    result.avatarUrl = answer.avatarUrl;
    shared.config.SaveLoginResult(result);
}

void RunLogin(
    const SharedState& shared, const std::shared_ptr<LoginAttempt>& attempt, LoginKind kind, const ManualLogin& login)
{
    const LoginServices& services = shared->services;
    services.sink->Post(UM_LOGIN_STATE, 0, kLoginStarted);

    std::string body;
    PostFormWithTimeout(endpoints::Login(services.baseUrl), endpoints::LoginBody(login.userName, login.passwordDigest),
        body, services.timing.limits);
    LoginAnswer answer;
    const LoginOutcome outcome = JudgeLoginAnswer(body, answer);

    SignedInUser user;
    if (outcome == LoginOutcome::SignedIn) {
        FetchAvatar(services, answer, *attempt);
        // The automatic login keeps the name and digest out of the record.
        user = kind == LoginKind::Manual ? UserFromAnswer(answer, login.userName, login.passwordDigest)
                                         : UserFromAnswer(answer, {}, {});
    }
    if (!attempt->Finish())
        return;

    if (outcome == LoginOutcome::NoAnswer || outcome == LoginOutcome::Refused)
        SetSignedIn(false);
    if (outcome == LoginOutcome::SignedIn) {
        StoreSignedInUser(user);
        StoreResult(*shared, kind, login, answer);
    }
    shared->busy = false;
    services.sink->Post(UM_LOGIN_STATE, 0, outcome == LoginOutcome::NoAnswer ? kLoginNetworkError : kLoginEnded);
}

}  // namespace

LoginError LoginErrorFor(int loginState, bool signedIn)
{
    if (loginState == kLoginNetworkError)
        return kLoginErrorNetwork;
    if (loginState == kLoginEnded && !signedIn)
        return kLoginErrorRefused;
    return kLoginErrorNone;
}

LoginOutcome JudgeLoginAnswer(const std::string& body, LoginAnswer& answer)
{
    // An answer that is no JSON object at all (a web server's error page, a
    // cut transfer) is the service failing, not the user's password.
    Json::Value root;
    if (body.empty() || !json_read::Parse(body, root) || !root.isObject())
        return LoginOutcome::NoAnswer;
    if (!ParseLoginAnswer(body, answer))
        return LoginOutcome::Refused;
    if (answer.status == 0)
        return LoginOutcome::SignedIn;
    return answer.status == 1 ? LoginOutcome::Refused : LoginOutcome::Unchanged;
}

SignedInUser UserFromAnswer(const LoginAnswer& answer, const std::string& userName, const std::string& passwordDigest)
{
    SignedInUser user;
    user.signedIn = true;
    user.userName = userName;
    user.passwordDigest = passwordDigest;
    user.token = answer.token;
    user.uid = answer.uid;
    user.imageCount = answer.imageCount;
    user.likeCount = answer.likeCount;
    user.followCount = answer.followCount;
    user.fansCount = answer.fansCount;
    user.avatarUrl = answer.avatarUrl;
    user.displayName = answer.displayName;
    return user;
}

std::string PasswordDigest(const std::string& utf8Password) { return Md5Hex(platform::AnsiFromUtf8(utf8Password)); }

ManualLogin ChooseCredentials(
    bool edited, const std::string& typedName, const std::string& typedPassword, const LoginFill& remembered)
{
    ManualLogin login;
    if (edited) {
        login.userName = typedName;
        login.passwordDigest = PasswordDigest(typedPassword);
    } else {
        login.userName = remembered.userName;
        login.passwordDigest = remembered.passwordDigest;
    }
    return login;
}

LoginFlow::LoginFlow(LoginServices services)
    : shared_(std::make_shared<LoginFlowState>(std::move(services)))
{
    shared_->config.Load(shared_->services.configPath);
}

// Workers keep the shared state alive; nothing here waits for them.
LoginFlow::~LoginFlow() = default;

bool LoginFlow::ConfigLoaded() const
{
    std::lock_guard<std::mutex> guard(shared_->configLock);
    return shared_->config.Loaded();
}

LoginFill LoginFlow::Fill()
{
    std::lock_guard<std::mutex> guard(shared_->configLock);
    shared_->config.Load(shared_->services.configPath);
    return shared_->config.ReadLoginFill();
}

bool LoginFlow::AutoLoginWanted() const
{
    std::lock_guard<std::mutex> guard(shared_->configLock);
    return shared_->config.ReadAutoLogin();
}

bool LoginFlow::Busy() const { return shared_->busy; }

bool LoginFlow::StartManual(const ManualLogin& login)
{
    bool idle = false;
    if (!shared_->busy.compare_exchange_strong(idle, true))
        return false;
    auto attempt = std::make_shared<LoginAttempt>();
    {
        std::lock_guard<std::mutex> guard(shared_->attemptLock);
        shared_->manualAttempt = attempt;
    }
    StartTrackedWorker(shared_->services.tracker,
        [shared = shared_, attempt, login] { RunLogin(shared, attempt, LoginKind::Manual, login); });
    return true;
}

bool LoginFlow::StartAutomatic()
{
    ManualLogin stored;
    {
        std::lock_guard<std::mutex> guard(shared_->configLock);
        if (!shared_->config.ReadStoredLogin(stored.userName, stored.passwordDigest))
            return false;
    }
    bool idle = false;
    if (!shared_->busy.compare_exchange_strong(idle, true))
        return false;
    // Not watched: the watchdog guards manual logins only.
    StartTrackedWorker(shared_->services.tracker, [shared = shared_, stored] {
        RunLogin(shared, std::make_shared<LoginAttempt>(), LoginKind::Automatic, stored);
    });
    return true;
}

bool LoginFlow::GiveUp()
{
    std::shared_ptr<LoginAttempt> attempt;
    {
        std::lock_guard<std::mutex> guard(shared_->attemptLock);
        attempt = std::move(shared_->manualAttempt);
    }
    if (!attempt || !attempt->Cancel())
        return false;
    shared_->busy = false;
    shared_->services.sink->Post(UM_LOGIN_STATE, 0, kLoginNetworkError);
    return true;
}

void SignOut(const LoginServices& services)
{
    const SignedInUser user = CopySignedInUser();
    SetSignedIn(false);
    const std::string url = endpoints::Logout(services.baseUrl, LiveSession::From(user));
    const TransferLimits limits = services.timing.limits;
    StartTrackedWorker(services.tracker, [url, limits] {
        std::string ignored;
        PostFormWithTimeout(url, "", ignored, limits);
    });
}
