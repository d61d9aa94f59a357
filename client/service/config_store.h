#pragma once
#include <functional>
#include <memory>
#include <string>

class TiXmlDocument;
class TiXmlElement;

// What a worker needs to act for the user; read afresh from vlconfig.xml at
// the moment it runs. Text is UTF-8 here; the file holds the ANSI code page.
struct LoginCredentials {
    std::string uid;
    std::string token;
    std::string userName;
};
LoginCredentials ReadLoginCredentials(const std::string& configPath);

struct UserProfile {
    std::string uid;
    std::string token;
    std::string userName;
    int imageCount = 0;
    int likeCount = 0;
    int followCount = 0;
    int fansCount = 0;
};
// -1 when the file loads but has no root or no "login" element, else 0 (an
// unreadable file also gives 0, with nothing filled in).
int ReadUserProfile(const std::string& configPath, UserProfile& profile);

// What the login window shows when it opens.
struct LoginFill {
    bool rememberPassword = false;
    bool autoLogin = false;
    std::string userName;
    std::string passwordDigest;
};

// The values a successful manual login stores.
struct LoginResult {
    std::string userName;
    std::string passwordDigest;
    bool rememberPassword = false;
    bool autoLogin = false;
    std::string uid;
    std::string token;
    std::string imageCount;
    std::string likeCount;
    std::string followCount;
    std::string fansCount;
    std::string avatarUrl;
};

// One holder's copy of vlconfig.xml, for reading (the login window keeps
// one, the settings dialog another). The writers do not save the copy: each
// takes one lock shared by the whole process, reads the file as it is now,
// changes only the attributes it owns and moves the result into place, so a
// holder whose copy is older never undoes what another wrote meanwhile.
// Afterwards the copy is the file as written.
class ConfigDocument {
public:
    ConfigDocument();
    ~ConfigDocument();
    ConfigDocument(const ConfigDocument&) = delete;
    ConfigDocument& operator=(const ConfigDocument&) = delete;

    // Also names the file the writers change, whether it loaded or not.
    bool Load(const std::string& path);
    bool Loaded() const { return loaded_; }

    LoginFill ReadLoginFill() const;
    // Boolean reading: "true", "yes" and "1" are yes.
    bool ReadAutoLogin() const;
    // The name and digest as stored, whatever "isRememberPwd" says (the
    // automatic login sends them); false without a "login" element.
    bool ReadStoredLogin(std::string& userName, std::string& passwordDigest) const;

    // Each returns false and writes nothing when the file, read afresh, does
    // not load or lacks the root or the "login" element. The manual login
    // owns all its attributes, the automatic one the token, the settings the
    // auto-login flag.
    bool SaveLoginResult(const LoginResult& result);
    bool SaveToken(const std::string& token);
    bool WriteAutoLogin(bool autoLogin);

private:
    using LoginChange = std::function<void(TiXmlElement& login, bool utf8)>;

    TiXmlElement* LoginElement() const;
    bool UpdateFile(const LoginChange& change);

    std::unique_ptr<TiXmlDocument> document_;
    std::string path_;
    bool loaded_ = false;
    // A copy saved as UTF-8 (with a byte-order mark) keeps its text as it is.
    bool utf8_ = false;
};
