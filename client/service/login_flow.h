#pragma once
#include "config_store.h"
#include "http_transport.h"
#include "login_answer.h"
#include "signed_in_user.h"

#include <chrono>
#include <memory>
#include <string>

class Downloader;
class MessageSink;
class WorkTracker;
struct LoginFlowState;

// Posted to the main window by the login workers and the watchdog, wParam 0.
enum : unsigned { UM_LOGIN_STATE = 19033 };
enum LoginState : int {
    kLoginStarted = 1,
    kLoginEnded = 2,  // the signed-in record tells whether it worked
    kLoginNetworkError = 4,  // no answer from the service, or the watchdog gave up
};

// What the login window shows after a login that did not sign in.
enum LoginError : int { kLoginErrorNone = 0, kLoginErrorRefused = 2, kLoginErrorNetwork = 3 };
LoginError LoginErrorFor(int loginState, bool signedIn);

// How one answer to a login request ends the login. An answer that cannot be
// read counts as a refusal; a status other than 0 or 1 changes nothing.
enum class LoginOutcome { NoAnswer, Refused, SignedIn, Unchanged };
LoginOutcome JudgeLoginAnswer(const std::string& body, LoginAnswer& answer);

// The record a successful login stores; name and digest are as sent.
SignedInUser UserFromAnswer(const LoginAnswer& answer, const std::string& userName, const std::string& passwordDigest);

// The digest is taken over the password's bytes in the ANSI code page, the
// form the service has always received.
std::string PasswordDigest(const std::string& utf8Password);

struct LoginTiming {
    std::chrono::milliseconds avatarStep{100};
    // An avatar that does not arrive by then is left out; the login goes on.
    std::chrono::milliseconds avatarLimit{std::chrono::seconds(10)};
    TransferLimits limits;
};

struct LoginServices {
    std::string baseUrl;  // ends with "/"
    std::string configPath;  // vlconfig.xml
    std::string avatarPath;  // the signed-in user's avatar file
    std::shared_ptr<MessageSink> sink;  // the main window
    std::shared_ptr<Downloader> downloader;
    std::shared_ptr<WorkTracker> tracker;  // may be null
    LoginTiming timing;
};

// What the login window sends: typed, or remembered from the configuration.
struct ManualLogin {
    std::string userName;
    std::string passwordDigest;
    bool rememberPassword = false;
    bool autoLogin = false;
};

// The name and digest to send. While neither field was edited since the
// window was filled, the remembered ones; after an edit, what is typed.
ManualLogin ChooseCredentials(
    bool edited, const std::string& typedName, const std::string& typedPassword, const LoginFill& remembered);

// The logins of one login window: its copy of the configuration and at most
// one login worker at a time. Workers hold what they use, so the object may
// go while one still runs.
class LoginFlow {
public:
    explicit LoginFlow(LoginServices services);
    ~LoginFlow();
    LoginFlow(const LoginFlow&) = delete;
    LoginFlow& operator=(const LoginFlow&) = delete;

    bool ConfigLoaded() const;
    // Reads the file afresh: the window shows it as it is when it opens, not
    // as it was when the window was made.
    LoginFill Fill();
    // Whether the configuration asks for a login at start-up.
    bool AutoLoginWanted() const;
    bool Busy() const;

    // Each starts a worker and returns false, starting nothing, while one
    // runs; the automatic login also when the configuration has no login.
    bool StartManual(const ManualLogin& login);
    bool StartAutomatic();
    // The watchdog ends a manual login that takes too long: its worker is
    // told to stop, and the window learns of a network error at once. False
    // when no manual login was left to stop.
    bool GiveUp();

private:
    std::shared_ptr<LoginFlowState> shared_;
};

// Signs the user out: the flag clears at once and the service is told on a
// worker of its own. The configuration is not touched.
void SignOut(const LoginServices& services);
