// A detached worker may still run when the program returns from its entry
// point, while the static objects are destroyed. What it reads then (the
// signed-in user, the answer parser's settings) must still be there. The
// check is registered before those objects are first used, so it runs after
// their destructors would have: as such a worker would.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "json_read.h"
#include "signed_in_user.h"

namespace {

// Long enough to live on the heap, where a freed block is reused at once.
constexpr char kDisplayName[] = "a display name well past the short-string buffer";
constexpr char kAnswer[] = R"({"status":2,"list":[{"name":"x"}]})";

bool SignedInUserStillThere()
{
    const SignedInUser copy = CopySignedInUser();
    return copy.signedIn && copy.displayName == kDisplayName;
}

bool ParserStillThere()
{
    Json::Value root;
    return json_read::Parse(kAnswer, root) && json_read::Member(root, "status").asInt() == 2;
}

void CheckAfterStatics()
{
    const bool user = SignedInUserStillThere();
    const bool parser = ParserStillThere();
    if (!user)
        std::fputs("the signed-in user was destroyed before the workers ended\n", stderr);
    if (!parser)
        std::fputs("the answer parser was destroyed before the workers ended\n", stderr);
    std::fflush(stderr);
    std::_Exit(user && parser ? 0 : 1);
}

}  // namespace

int main()
{
    if (std::atexit(CheckAfterStatics) != 0)
        return 2;
    SignedInUser user;
    user.signedIn = true;
    user.displayName = kDisplayName;
    StoreSignedInUser(user);
    if (!SignedInUserStillThere() || !ParserStillThere())
        return 3;
    return 0;
}
