// The comment rows as a screen reader meets them.
#include "comment_list_box.h"
#include "comment_wnd.h"

#include <oleacc.h>

#include "reader_text.h"

AccessibleFacts CCommentListBox::Describe(const std::string& replyingTo) const
{
    AccessibleFacts list;
    list.name = L"评论";
    list.role = ROLE_SYSTEM_LIST;
    list.state = STATE_SYSTEM_READONLY;
    list.rect = m_rect;
    // A picture may have hundreds of comments: each row is made when asked for.
    list.rowCount = std::size_t(Count());
    list.row = [this, replyingTo](std::size_t row) {
        const CommentRecord& c = m_comments->comments[row];
        AccessibleFacts item;
        item.name = ReaderComment(c.authorName, c.content);
        item.role = ROLE_SYSTEM_LISTITEM;
        item.state = STATE_SYSTEM_READONLY;
        item.rect = RowRect(int(row));
        RECT shown{};
        if (!IntersectRect(&shown, &item.rect, &m_rect))
            item.state |= STATE_SYSTEM_OFFSCREEN;
        if (int(row) == m_hot)
            item.state |= STATE_SYSTEM_HOTTRACKED;
        if (!replyingTo.empty() && c.commentId == replyingTo)
            item.state |= STATE_SYSTEM_SELECTED;
        return item;
    };
    return list;
}

AccessibleFacts CCommentWnd::DescribeComments() const
{
    const bool replying = m_inputOpen && m_mode == kInputComment && m_replyTo;
    AccessibleFacts facts = m_list.Describe(replying ? *m_replyTo : std::string());
    // Folded, the list has no height and nothing of it shows.
    if (m_visible && !IsRectEmpty(&facts.rect))
        return facts;
    facts.state |= STATE_SYSTEM_INVISIBLE;
    facts.row = [row = std::move(facts.row)](std::size_t index) {
        AccessibleFacts item = row(index);
        item.state |= STATE_SYSTEM_INVISIBLE;
        return item;
    };
    return facts;
}
