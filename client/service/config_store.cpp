#include "config_store.h"

#include "platform.h"

#include <tinyxml.h>

#include <cstdlib>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

bool LoadDocument(TiXmlDocument& document, const std::string& path, TiXmlEncoding encoding)
{
    FileHandle file(platform::OpenFile(path, "rb"));
    return file && document.LoadFile(file.get(), encoding);
}

TiXmlElement* FindLogin(const TiXmlDocument& document)
{
    const TiXmlElement* root = document.FirstChildElement();
    if (!root)
        return nullptr;
    return const_cast<TiXmlElement*>(root->FirstChildElement("login"));
}

std::string TextOf(const TiXmlElement& login, const char* name)
{
    const char* value = login.Attribute(name);
    return value ? platform::Utf8FromAnsi(value) : std::string();
}

int NumberOf(const TiXmlElement& login, const char* name)
{
    const char* value = login.Attribute(name);
    return value ? int(std::strtol(value, nullptr, 10)) : 0;
}

void SetText(TiXmlElement& login, const char* name, const std::string& utf8)
{
    login.SetAttribute(name, platform::AnsiFromUtf8(utf8));
}

const char* YesNo(bool value) { return value ? "true" : "false"; }

} // namespace

LoginCredentials ReadLoginCredentials(const std::string& configPath)
{
    LoginCredentials credentials;
    TiXmlDocument document;
    if (!LoadDocument(document, configPath, TIXML_ENCODING_UTF8))
        return credentials;
    const TiXmlElement* login = FindLogin(document);
    if (!login)
        return credentials;
    credentials.uid = TextOf(*login, "uid");
    credentials.token = TextOf(*login, "token");
    credentials.userName = TextOf(*login, "username");
    return credentials;
}

int ReadUserProfile(const std::string& configPath, UserProfile& profile)
{
    TiXmlDocument document;
    if (!LoadDocument(document, configPath, TIXML_ENCODING_UTF8))
        return 0;
    const TiXmlElement* login = FindLogin(document);
    if (!login)
        return -1;
    profile.uid = TextOf(*login, "uid");
    profile.token = TextOf(*login, "token");
    profile.userName = TextOf(*login, "username");
    profile.imageCount = NumberOf(*login, "image_count");
    profile.likeCount = NumberOf(*login, "like_count");
    profile.followCount = NumberOf(*login, "follow_count");
    profile.fansCount = NumberOf(*login, "fans_count");
    return 0;
}

ConfigDocument::ConfigDocument() : document_(std::make_unique<TiXmlDocument>()) {}
ConfigDocument::~ConfigDocument() = default;

bool ConfigDocument::Load(const std::string& path)
{
    path_ = path;
    document_->Clear();
    loaded_ = LoadDocument(*document_, path, TIXML_DEFAULT_ENCODING);
    return loaded_;
}

TiXmlElement* ConfigDocument::LoginElement() const
{
    return loaded_ ? FindLogin(*document_) : nullptr;
}

LoginFill ConfigDocument::ReadLoginFill() const
{
    LoginFill fill;
    const TiXmlElement* login = LoginElement();
    if (!login)
        return fill;
    const char* remember = login->Attribute("isRememberPwd");
    fill.rememberPassword = remember && std::string(remember) == "true";
    if (fill.rememberPassword) {
        fill.userName = TextOf(*login, "username");
        fill.passwordDigest = TextOf(*login, "password");
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

bool ConfigDocument::SaveLoginResult(const LoginResult& result)
{
    TiXmlElement* login = LoginElement();
    if (!login)
        return false;
    // This order decides where new attributes land in the file.
    SetText(*login, "username", result.userName);
    SetText(*login, "password", result.passwordDigest);
    login->SetAttribute("bLogined", "true");
    login->SetAttribute("isRememberPwd", YesNo(result.rememberPassword));
    SetText(*login, "uid", result.uid);
    SetText(*login, "token", result.token);
    SetText(*login, "image_count", result.imageCount);
    SetText(*login, "like_count", result.likeCount);
    SetText(*login, "follow_count", result.followCount);
    SetText(*login, "fans_count", result.fansCount);
    SetText(*login, "avatar", result.avatarUrl);
    login->SetAttribute("isAutoLogin", YesNo(result.autoLogin));
    return Save();
}

bool ConfigDocument::SaveToken(const std::string& token)
{
    TiXmlElement* login = LoginElement();
    if (!login)
        return false;
    SetText(*login, "token", token);
    return Save();
}

bool ConfigDocument::WriteAutoLogin(bool autoLogin)
{
    TiXmlElement* login = LoginElement();
    if (!login)
        return false;
    login->SetAttribute("isAutoLogin", YesNo(autoLogin));
    return Save();
}

bool ConfigDocument::Save()
{
    std::string temporary = path_ + ".tmp-" + platform::UniqueSuffix();
    FileHandle file(platform::OpenFile(temporary, "wb"));
    if (!file)
        return false;
    bool written = document_->SaveFile(file.get());
    bool closed = std::fclose(file.release()) == 0;
    if (written && closed && platform::MoveIntoPlace(temporary, path_))
        return true;
    platform::RemoveFile(temporary);
    return false;
}
