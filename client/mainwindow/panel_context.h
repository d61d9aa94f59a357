#pragma once
#include "decoded_pictures.h"
#include "feed_store.h"

#include <algorithm>
#include <cstddef>

// What the browsing panels read while they paint: the feed store the
// workers fill, the pictures decoded so far and the screen width.
struct PanelContext {
    FeedStore* store = nullptr;
    DecodedPictures* pictures = nullptr;
    int width = 0;
    // Non-zero when what lies under the panels' row is the same picture on
    // every paint with this value: a panel may keep its drawing over it.
    unsigned backdrop = 0;
};

// Items of a paged list that belong to its current page. Lists never
// shrink, so a short last page leaves older items behind it.
inline std::size_t ItemsOnPage(const FeedStore& store, int pagedKind, std::size_t stored)
{
    const int total = store.Total(pagedKind);
    const int pages = store.PageCount(pagedKind);
    const int page = store.CurrentPage(pagedKind);
    if (total <= 0 || pages <= 0 || page <= 0)
        return stored;
    const int perPage = (total + pages - 1) / pages;
    const int left = total - (page - 1) * perPage;
    return left <= 0 ? 0 : std::min(stored, std::size_t(left));
}
