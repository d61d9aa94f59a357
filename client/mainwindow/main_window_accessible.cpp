// The main window's drawn parts as a screen reader meets them: the large
// picture by its title and author, the strip's thumbnails, the comment rows.
#include "main_window.h"

#include <oleacc.h>

#include "reader_text.h"

// Title as the name, author as the description: a reader says the name and
// role of a graphic and then its description, where a value is a control's
// setting and some readers leave it out for a picture.
AccessibleFacts Qaurn_Navigate_window::DescribeViewer()
{
    AccessibleFacts facts;
    facts.role = ROLE_SYSTEM_GRAPHIC;
    facts.state = STATE_SYSTEM_READONLY | (m_viewer.IsWindowVisible() ? 0 : STATE_SYSTEM_INVISIBLE);
    RECT place = m_viewer.GetPictureRect();
    if (IsRectEmpty(&place))
        place = m_viewer.GetWindowRect();
    // A picture sliding in, or taller than the screen, is read where it shows.
    RECT client{};
    GetClientRect(m_hWnd, &client);
    IntersectRect(&facts.rect, &place, &client);
    if (m_viewer.IsShowingDefaultPicture())
        return facts;
    if (const FeedStore::PicturePtr picture = CurrentPicture()) {
        facts.name = ReaderPictureTitle(picture->content);
        facts.description = ReaderAuthor(picture->authorName);
    }
    return facts;
}

// Each picture shown is told once, even when its title is another's.
void Qaurn_Navigate_window::AnnouncePicture()
{
    const FeedStore::PicturePtr picture = CurrentPicture();
    std::string shown;
    if (picture && !m_viewer.IsShowingDefaultPicture())
        shown = picture->shareId + '\n' + picture->content + '\n' + picture->authorName + '\n' + picture->largePath;
    if (shown == m_announcedPicture)
        return;
    m_announcedPicture = std::move(shown);
    NotifyControlEvent(m_hWnd, &m_viewer, EVENT_OBJECT_NAMECHANGE);
}
