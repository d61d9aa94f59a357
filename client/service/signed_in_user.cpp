#include "signed_in_user.h"

#include <mutex>

namespace {

std::mutex& RecordLock()
{
    static std::mutex lock;
    return lock;
}

SignedInUser& Record()
{
    static SignedInUser record;
    return record;
}

} // namespace

SignedInUser CopySignedInUser()
{
    std::lock_guard<std::mutex> guard(RecordLock());
    return Record();
}

void StoreSignedInUser(const SignedInUser& user)
{
    std::lock_guard<std::mutex> guard(RecordLock());
    Record() = user;
}

bool IsSignedIn()
{
    std::lock_guard<std::mutex> guard(RecordLock());
    return Record().signedIn;
}

void SetSignedIn(bool signedIn)
{
    std::lock_guard<std::mutex> guard(RecordLock());
    Record().signedIn = signedIn;
}

void StoreAvatarUrl(const std::string& avatarUrl)
{
    std::lock_guard<std::mutex> guard(RecordLock());
    Record().avatarUrl = avatarUrl;
}
