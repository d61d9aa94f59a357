#include "feed_store.h"

#include "feed_kinds.h"

namespace {

using Guard = std::lock_guard<std::mutex>;

// Another user's list and the tag lists get a fresh record per item.
bool StartsAfresh(const PictureListId& list)
{
    return list.kind == feed_kind::kUserPictures || list.kind == feed_kind::kTagFeed;
}

template <typename Slots> void GrowTo(Slots& slots, std::size_t index)
{
    if (slots.size() <= index)
        slots.resize(index + 1);
}

}  // namespace

FeedStore::TextPtr FeedStore::StoreAnswer(int kind, const std::string& key, std::string text)
{
    auto shared = std::make_shared<const std::string>(std::move(text));
    Guard guard(lock_);
    answers_[{kind, key}] = shared;
    return shared;
}

FeedStore::TextPtr FeedStore::Answer(int kind, const std::string& key) const
{
    Guard guard(lock_);
    auto found = answers_.find({kind, key});
    return found == answers_.end() ? nullptr : found->second;
}

void FeedStore::StorePicture(const PictureListId& list, std::size_t index, PicturePtr picture)
{
    Guard guard(lock_);
    StorePictureLocked(list, index, std::move(picture));
}

bool FeedStore::StorePicture(const PictureListId& list, std::size_t index, PicturePtr picture, unsigned generation)
{
    Guard guard(lock_);
    if (Stale(list.kind, generation))
        return false;
    StorePictureLocked(list, index, std::move(picture));
    return true;
}

void FeedStore::StorePictureLocked(const PictureListId& list, std::size_t index, PicturePtr picture)
{
    std::vector<PictureSlot>& slots = pictures_[list];
    GrowTo(slots, index);
    PictureSlot& slot = slots[index];
    slot.picture = std::move(picture);
    if (StartsAfresh(list))
        slot.comments.reset();
}

void FeedStore::ReservePictures(const PictureListId& list, std::size_t count)
{
    Guard guard(lock_);
    pictures_[list].reserve(count);
}

FeedStore::PicturePtr FeedStore::Picture(const PictureListId& list, std::size_t index) const
{
    Guard guard(lock_);
    auto found = pictures_.find(list);
    if (found == pictures_.end() || index >= found->second.size())
        return nullptr;
    return found->second[index].picture;
}

std::size_t FeedStore::PictureCount(const PictureListId& list) const
{
    Guard guard(lock_);
    auto found = pictures_.find(list);
    return found == pictures_.end() ? 0 : found->second.size();
}

bool FeedStore::StoreComments(const PictureListId& list, std::size_t index, CommentsPtr comments)
{
    Guard guard(lock_);
    auto found = pictures_.find(list);
    if (found == pictures_.end() || index >= found->second.size())
        return false;
    PictureSlot& slot = found->second[index];
    bool holdsCurrent = slot.picture && slot.comments && slot.comments->shareId == slot.picture->shareId;
    if (holdsCurrent && (!comments || comments->shareId != slot.picture->shareId))
        return false;
    slot.comments = std::move(comments);
    return true;
}

FeedStore::CommentsPtr FeedStore::Comments(
    const PictureListId& list, std::size_t index, const std::string& shareId) const
{
    CommentsPtr comments = Comments(list, index);
    return comments && comments->shareId == shareId ? comments : nullptr;
}

FeedStore::CommentsPtr FeedStore::Comments(const PictureListId& list, std::size_t index) const
{
    Guard guard(lock_);
    auto found = pictures_.find(list);
    if (found == pictures_.end() || index >= found->second.size())
        return nullptr;
    return found->second[index].comments;
}

void FeedStore::AwaitCurrentComments(const std::string& shareId)
{
    Guard guard(lock_);
    awaitedShareId_ = shareId;
    awaiting_ = true;
}

bool FeedStore::StoreCurrentComments(CommentsPtr comments)
{
    Guard guard(lock_);
    if (awaiting_ && (!comments || comments->shareId != awaitedShareId_))
        return false;
    currentComments_ = std::move(comments);
    return true;
}

FeedStore::CommentsPtr FeedStore::CurrentComments(const std::string& shareId) const
{
    CommentsPtr comments = CurrentComments();
    return comments && comments->shareId == shareId ? comments : nullptr;
}

FeedStore::CommentsPtr FeedStore::CurrentComments() const
{
    Guard guard(lock_);
    return currentComments_;
}

void FeedStore::StoreUser(int kind, std::size_t index, UserPtr user)
{
    Guard guard(lock_);
    std::vector<UserPtr>& slots = users_[kind];
    GrowTo(slots, index);
    slots[index] = std::move(user);
}

bool FeedStore::StoreUser(int kind, std::size_t index, UserPtr user, unsigned generation)
{
    Guard guard(lock_);
    if (Stale(kind, generation))
        return false;
    std::vector<UserPtr>& slots = users_[kind];
    GrowTo(slots, index);
    slots[index] = std::move(user);
    return true;
}

FeedStore::UserPtr FeedStore::User(int kind, std::size_t index) const
{
    Guard guard(lock_);
    auto found = users_.find(kind);
    if (found == users_.end() || index >= found->second.size())
        return nullptr;
    return found->second[index];
}

std::size_t FeedStore::UserCount(int kind) const
{
    Guard guard(lock_);
    auto found = users_.find(kind);
    return found == users_.end() ? 0 : found->second.size();
}

void FeedStore::StoreUserStats(const std::string& uid, UserStats stats)
{
    Guard guard(lock_);
    userStats_[uid] = std::move(stats);
}

bool FeedStore::FindUserStats(const std::string& uid, UserStats& stats) const
{
    Guard guard(lock_);
    auto found = userStats_.find(uid);
    if (found == userStats_.end())
        return false;
    stats = found->second;
    return true;
}

void FeedStore::UpdatePager(int kind, int total, int pageCount)
{
    Guard guard(lock_);
    Pager& pager = pagers_[kind];  // a new pager starts on page 1
    pager.total = total;
    pager.pageCount = pageCount;
}

bool FeedStore::UpdatePager(int kind, int total, int pageCount, unsigned generation)
{
    Guard guard(lock_);
    if (Stale(kind, generation))
        return false;
    Pager& pager = pagers_[kind];
    pager.total = total;
    pager.pageCount = pageCount;
    return true;
}

const Pager* FeedStore::FindPager(int kind) const
{
    auto found = pagers_.find(kind);
    return found == pagers_.end() ? nullptr : &found->second;
}

int FeedStore::CurrentPage(int kind) const
{
    Guard guard(lock_);
    const Pager* pager = FindPager(kind);
    return pager ? pager->currentPage : 0;
}

int FeedStore::PageCount(int kind) const
{
    Guard guard(lock_);
    const Pager* pager = FindPager(kind);
    return pager ? pager->pageCount : 0;
}

int FeedStore::Total(int kind) const
{
    Guard guard(lock_);
    const Pager* pager = FindPager(kind);
    return pager ? pager->total : 0;
}

bool FeedStore::NextPage(int kind)
{
    Guard guard(lock_);
    auto found = pagers_.find(kind);
    if (found == pagers_.end() || found->second.currentPage >= found->second.pageCount)
        return false;
    ++found->second.currentPage;
    return true;
}

bool FeedStore::PreviousPage(int kind)
{
    Guard guard(lock_);
    auto found = pagers_.find(kind);
    if (found == pagers_.end() || found->second.currentPage <= 1)
        return false;
    --found->second.currentPage;
    return true;
}

void FeedStore::ResetPage(int kind)
{
    Guard guard(lock_);
    auto found = pagers_.find(kind);
    if (found != pagers_.end())
        found->second.currentPage = 1;
}

void FeedStore::StoreCategory(const std::string& id, const std::string& code)
{
    Guard guard(lock_);
    categories_[id] = code;
}

void FeedStore::ReplaceCategories(const std::vector<std::pair<std::string, std::string>>& entries)
{
    Guard guard(lock_);
    categories_.clear();
    for (const auto& entry : entries)
        categories_[entry.first] = entry.second;
}

void FeedStore::NoteEarlyCategoryFeeds(std::vector<std::string> codes)
{
    Guard guard(lock_);
    earlyCategoryCodes_ = std::move(codes);
    earlyCategoryFeeds_ = true;
}

bool FeedStore::TakeEarlyCategoryFeeds(std::vector<std::string>& codes)
{
    Guard guard(lock_);
    if (!earlyCategoryFeeds_)
        return false;
    earlyCategoryFeeds_ = false;
    codes = std::move(earlyCategoryCodes_);
    earlyCategoryCodes_.clear();
    return true;
}

std::string FeedStore::CategoryCode(const std::string& id) const
{
    Guard guard(lock_);
    auto found = categories_.find(id);
    return found == categories_.end() ? std::string() : found->second;
}

void FeedStore::StoreHotTag(std::size_t index, std::string name)
{
    Guard guard(lock_);
    GrowTo(hotTags_, index);
    hotTags_[index] = std::move(name);
}

std::string FeedStore::HotTag(std::size_t index) const
{
    Guard guard(lock_);
    return index < hotTags_.size() ? hotTags_[index] : std::string();
}

std::size_t FeedStore::HotTagCount() const
{
    Guard guard(lock_);
    return hotTags_.size();
}

void FeedStore::StoreDetails(std::shared_ptr<const PictureDetails> details)
{
    Guard guard(lock_);
    details_ = std::move(details);
}

std::shared_ptr<const PictureDetails> FeedStore::Details() const
{
    Guard guard(lock_);
    return details_;
}

bool FeedStore::Stale(int kind, unsigned generation) const
{
    const auto found = generations_.find(kind);
    return (found == generations_.end() ? 0u : found->second) != generation;
}

unsigned FeedStore::Generation(int kind) const
{
    Guard guard(lock_);
    const auto found = generations_.find(kind);
    return found == generations_.end() ? 0u : found->second;
}

void FeedStore::ForgetKind(int kind)
{
    Guard guard(lock_);
    ++generations_[kind];
    pictures_.erase(PictureListId{kind, {}});
    users_.erase(kind);
    answers_.erase({kind, std::string()});
    pagers_.erase(kind);
}

void FeedStore::StoreOwnStats(OwnStats stats)
{
    Guard guard(lock_);
    ownStats_ = std::move(stats);
}

OwnStats FeedStore::OwnStatistics() const
{
    Guard guard(lock_);
    return ownStats_;
}

void FeedStore::ShowNotice(NoticeChoice choice)
{
    Guard guard(lock_);
    lastNotice_ = choice;
    noticeVisible_ = choice != NoticeChoice::None;
}

void FeedStore::HideNotice()
{
    Guard guard(lock_);
    noticeVisible_ = false;
}

NoticeChoice FeedStore::VisibleNotice() const
{
    Guard guard(lock_);
    return noticeVisible_ ? lastNotice_ : NoticeChoice::None;
}

NoticeChoice FeedStore::LastNotice() const
{
    Guard guard(lock_);
    return lastNotice_;
}
