#include "signed_in_user.h"

#include <mutex>

namespace {

std::mutex& RecordLock()
{
    // Never destroyed: a detached worker may still use it while the
    // program's statics are destroyed at exit.
    static std::mutex& lock = *new std::mutex;
    return lock;
}

SignedInUser& Record()
{
    // Never destroyed: a detached worker may still use it while the
    // program's statics are destroyed at exit.
    static SignedInUser& record = *new SignedInUser;
    return record;
}

}  // namespace

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
