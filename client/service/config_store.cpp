#include "config_store.h"

#include "platform.h"

#include <tinyxml.h>

#include <cstdlib>
#include <mutex>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The installed file is in the ANSI code page and is parsed byte by byte: read
// as UTF-8, a GBK lead byte such as 0xE6 takes the closing quote after it as
// part of its character, and the file no longer loads. A copy that an editor
// saved as UTF-8 starts with a byte-order mark, and stays UTF-8.
bool LoadDocument(TiXmlDocument& document, const std::string& path, bool& utf8)
{
    FileHandle file(platform::OpenFile(path, "rb"));
    if (!file)
        return false;
    unsigned char head[3] = {};
    utf8 = std::fread(head, 1, sizeof head, file.get()) == sizeof head && head[0] == 0xEF && head[1] == 0xBB
        && head[2] == 0xBF;
    std::rewind(file.get());
    // Detection sees the mark, so a save writes it back.
    return document.LoadFile(file.get(), utf8 ? TIXML_DEFAULT_ENCODING : TIXML_ENCODING_LEGACY);
}

TiXmlElement* FindLogin(const TiXmlDocument& document)
{
    const TiXmlElement* root = document.FirstChildElement();
    if (!root)
        return nullptr;
    return const_cast<TiXmlElement*>(root->FirstChildElement("login"));
}

std::string TextOf(const TiXmlElement& login, const char* name, bool utf8)
{
    const char* value = login.Attribute(name);
    if (!value)
        return {};
    return utf8 ? value : platform::Utf8FromAnsi(value);
}

int NumberOf(const TiXmlElement& login, const char* name)
{
    const char* value = login.Attribute(name);
    return value ? int(std::strtol(value, nullptr, 10)) : 0;
}

void SetText(TiXmlElement& login, const char* name, const std::string& text, bool utf8)
{
    login.SetAttribute(name, utf8 ? text : platform::AnsiFromUtf8(text));
}

const char* YesNo(bool value) { return value ? "true" : "false"; }

// Held by every writer of the file in this process, from its read to its move.
std::mutex& WriterLock()
{
    // Never destroyed: a detached worker may still use it while the
    // program's statics are destroyed at exit.
    static std::mutex& lock = *new std::mutex;
    return lock;
}

// Written to a temporary file and moved over the old one, so a worker reading
// at the same time sees the old or the new file, whole.
bool SaveAside(TiXmlDocument& document, const std::string& path)
{
    std::string temporary = path + ".tmp-" + platform::UniqueSuffix();
    FileHandle file(platform::OpenFile(temporary, "wb"));
    if (!file)
        return false;
    bool written = document.SaveFile(file.get());
    bool closed = std::fclose(file.release()) == 0;
    if (written && closed && platform::MoveIntoPlace(temporary, path))
        return true;
    platform::RemoveFile(temporary);
    return false;
}

}  // namespace

LoginCredentials ReadLoginCredentials(const std::string& configPath)
{
    LoginCredentials credentials;
    TiXmlDocument document;
    bool utf8 = false;
    if (!LoadDocument(document, configPath, utf8))
        return credentials;
    const TiXmlElement* login = FindLogin(document);
    if (!login)
        return credentials;
    credentials.uid = TextOf(*login, "uid", utf8);
    credentials.token = TextOf(*login, "token", utf8);
    credentials.userName = TextOf(*login, "username", utf8);
    return credentials;
}

int ReadUserProfile(const std::string& configPath, UserProfile& profile)
{
    TiXmlDocument document;
    bool utf8 = false;
    if (!LoadDocument(document, configPath, utf8))
        return 0;
    const TiXmlElement* login = FindLogin(document);
    if (!login)
        return -1;
    profile.uid = TextOf(*login, "uid", utf8);
    profile.token = TextOf(*login, "token", utf8);
    profile.userName = TextOf(*login, "username", utf8);
    profile.imageCount = NumberOf(*login, "image_count");
    profile.likeCount = NumberOf(*login, "like_count");
    profile.followCount = NumberOf(*login, "follow_count");
    profile.fansCount = NumberOf(*login, "fans_count");
    return 0;
}

ConfigDocument::ConfigDocument()
    : document_(std::make_unique<TiXmlDocument>())
{
}
ConfigDocument::~ConfigDocument() = default;

bool ConfigDocument::Load(const std::string& path)
{
    path_ = path;
    document_->Clear();
    loaded_ = LoadDocument(*document_, path, utf8_);
    return loaded_;
}

TiXmlElement* ConfigDocument::LoginElement() const { return loaded_ ? FindLogin(*document_) : nullptr; }

LoginFill ConfigDocument::ReadLoginFill() const
{
    LoginFill fill;
    const TiXmlElement* login = LoginElement();
    if (!login)
        return fill;
    const char* remember = login->Attribute("isRememberPwd");
    fill.rememberPassword = remember && std::string(remember) == "true";
    if (fill.rememberPassword) {
        fill.userName = TextOf(*login, "username", utf8_);
        fill.passwordDigest = TextOf(*login, "password", utf8_);
    }
    const char* autoLogin = login->Attribute("isAutoLogin");
    fill.autoLogin = autoLogin && std::string(autoLogin) == "true";
    return fill;
}

bool ConfigDocument::ReadAutoLogin() const
{
    const TiXmlElement* login = LoginElement();
    bool value = false;
    if (!login || login->QueryBoolAttribute("isAutoLogin", &value) != TIXML_SUCCESS)
        return false;
    return value;
}

bool ConfigDocument::ReadStoredLogin(std::string& userName, std::string& passwordDigest) const
{
    const TiXmlElement* login = LoginElement();
    if (!login)
        return false;
    userName = TextOf(*login, "username", utf8_);
    passwordDigest = TextOf(*login, "password", utf8_);
    return true;
}

bool ConfigDocument::SaveLoginResult(const LoginResult& result)
{
    return UpdateFile([&result](TiXmlElement& login, bool utf8) {
        // This order decides where new attributes land in the file.
        SetText(login, "username", result.userName, utf8);
        SetText(login, "password", result.passwordDigest, utf8);
        login.SetAttribute("bLogined", "true");
        login.SetAttribute("isRememberPwd", YesNo(result.rememberPassword));
        SetText(login, "uid", result.uid, utf8);
        SetText(login, "token", result.token, utf8);
        SetText(login, "image_count", result.imageCount, utf8);
        SetText(login, "like_count", result.likeCount, utf8);
        SetText(login, "follow_count", result.followCount, utf8);
        SetText(login, "fans_count", result.fansCount, utf8);
        SetText(login, "avatar", result.avatarUrl, utf8);
        login.SetAttribute("isAutoLogin", YesNo(result.autoLogin));
    });
}

bool ConfigDocument::SaveToken(const std::string& token)
{
    return UpdateFile([&token](TiXmlElement& login, bool utf8) { SetText(login, "token", token, utf8); });
}

bool ConfigDocument::WriteAutoLogin(bool autoLogin)
{
    return UpdateFile([autoLogin](TiXmlElement& login, bool) { login.SetAttribute("isAutoLogin", YesNo(autoLogin)); });
}

bool ConfigDocument::UpdateFile(const LoginChange& change)
{
    if (path_.empty())
        return false;
    std::lock_guard<std::mutex> guard(WriterLock());
    auto fresh = std::make_unique<TiXmlDocument>();
    bool utf8 = false;
    if (!LoadDocument(*fresh, path_, utf8))
        return false;
    TiXmlElement* login = FindLogin(*fresh);
    if (!login)
        return false;
    change(*login, utf8);
    if (!SaveAside(*fresh, path_))
        return false;
    document_ = std::move(fresh);
    utf8_ = utf8;
    loaded_ = true;
    return true;
}
