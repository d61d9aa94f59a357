// The strip's thumbnails as a screen reader meets them.
#include "picture_strip.h"

#include <iterator>

#include <oleacc.h>

#include "reader_text.h"

AccessibleFacts PictureStrip::Describe() const
{
    AccessibleFacts list;
    list.name = L"图片";
    list.role = ROLE_SYSTEM_LIST;
    list.state = STATE_SYSTEM_READONLY | (m_visible ? 0 : STATE_SYSTEM_INVISIBLE);
    // The column a click there belongs to (see Covers).
    list.rect = RECT{m_slots[0].left, m_t, m_slots[0].right, m_b};
    // The slots in the column; those a scroll moves out are not there to read.
    for (int k = 0; k < int(std::size(m_slots)); ++k) {
        RECT shown{};
        if (!IntersectRect(&shown, &m_slots[k], &list.rect))
            continue;
        const FeedStore::PicturePtr picture = Picture(m_first + k);
        if (!picture)
            continue;
        AccessibleFacts item;
        item.name = ReaderPictureTitle(picture->content);
        item.description = ReaderAuthor(picture->authorName);
        item.role = ROLE_SYSTEM_LISTITEM;
        item.state = STATE_SYSTEM_SELECTABLE | (list.state & STATE_SYSTEM_INVISIBLE);
        if (k == m_hovered && m_visible)
            item.state |= STATE_SYSTEM_SELECTED | STATE_SYSTEM_HOTTRACKED;
        item.rect = m_slots[k];
        list.children.push_back(std::move(item));
    }
    return list;
}
