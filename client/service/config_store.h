#pragma once
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

// One holder's copy of vlconfig.xml (the login window keeps one for its whole
// life, the settings dialog another). Saving writes the whole copy back.
class ConfigDocument {
public:
    ConfigDocument();
    ~ConfigDocument();
    ConfigDocument(const ConfigDocument&) = delete;
    ConfigDocument& operator=(const ConfigDocument&) = delete;

    bool Load(const std::string& path);
    bool Loaded() const { return loaded_; }

    LoginFill ReadLoginFill() const;
    // Boolean reading: "true", "yes" and "1" are yes.
    bool ReadAutoLogin() const;
    // The name and digest as stored, whatever "isRememberPwd" says (the
    // automatic login sends them); false without a "login" element.
    bool ReadStoredLogin(std::string& userName, std::string& passwordDigest) const;

    // Each returns false and writes nothing when the document did not load or
    // lacks the root or the "login" element.
    bool SaveLoginResult(const LoginResult& result);
    bool SaveToken(const std::string& token);
    bool WriteAutoLogin(bool autoLogin);

private:
    TiXmlElement* LoginElement() const;
    // Written to a temporary file and moved over the old one, so a worker
    // reading at the same time sees the old or the new file, whole.
    bool Save();

    std::unique_ptr<TiXmlDocument> document_;
    std::string path_;
    bool loaded_ = false;
    // A copy saved as UTF-8 (with a byte-order mark) keeps its text as it is.
    bool utf8_ = false;
};
