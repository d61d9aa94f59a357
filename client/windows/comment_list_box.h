#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "decoded_pictures.h"
#include "feed_records.h"
#include "skinkit/accessible_facts.h"
#include "skinkit/paint_cache.h"
#include "skinkit/scroll_bar.h"

// What a comment row reports to its owner: kind 1 is a click on the row's
// reply link.
class ICommentListBoxMessage {
public:
    virtual void OnCommentListMessage(int kind, int row) = 0;

protected:
    ~ICommentListBoxMessage() = default;
};

constexpr int kCommentReplyClicked = 1;

// The picture's comments as fixed-height rows drawn into the main window,
// each with the commenter's avatar, text and a reply link, scrolled by an
// image scroll bar, the wheel and the thumb.
class CCommentListBox {
public:
    static constexpr int kRowHeight = 72;
    static constexpr int kAvatarSize = 32;
    // More than one list shows at once.
    static constexpr std::size_t kKeptAvatars = 48;

    CCommentListBox() = default;
    CCommentListBox(const CCommentListBox&) = delete;
    CCommentListBox& operator=(const CCommentListBox&) = delete;

    bool Create(HWND parent, WORD scrollBarId, ICommentListBoxMessage* sink);
    // Not owned: the thumb's three parts and the avatar frame.
    void SetImages(Gdiplus::Bitmap* thumbTop, Gdiplus::Bitmap* thumbMiddle, Gdiplus::Bitmap* thumbBottom,
        Gdiplus::Bitmap* avatarFrame);
    void SetRect(const RECT& rect);
    RECT GetRect() const { return m_rect; }
    void SetComments(std::shared_ptr<const PictureComments> comments);
    int Count() const;
    // The commenter's name of a row; empty outside the list.
    std::string Name(int row) const;
    int ScrollPos() const { return m_bar.GetScrollPos(); }
    RECT ThumbRect() const;

    // The rows are drawn into their owner's ready picture, the scroll bar
    // over it on every paint. Avatars that landed are loaded first; the
    // key holds everything the rows' look depends on.
    void LoadLandedAvatars();
    // Whether the picture that landed under `key` is the avatar of a row on
    // show: its paint is the only thing that draws it.
    bool ShowsAvatar(std::uint32_t key) const;
    // The avatars of the rows a list of comments shows first, decoded ahead
    // for a picture about to show (those whose files are there).
    void PrepareAvatars(const PictureComments& comments);
    void AppendPaintKey(CPaintKey& key) const;
    // The rows in view, with the list's rectangle shifted by -origin.
    void DrawRows(HDC hdc, POINT origin);
    void PaintScrollBar(HDC hdc) { m_bar.OnPaint(hdc); }
    // Every message of the main window while the list is shown.
    void WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool OverLink(POINT point) const;
    // The list and its rows to a screen reader; the row whose comment id is
    // `replyingTo` (when not empty) is the selected one.
    AccessibleFacts Describe(const std::string& replyingTo) const;
    bool IsDragging() const { return m_bar.IsDragging(); }
    std::size_t KeptAvatars() const { return m_avatars.Size(); }
    std::size_t AvatarDecodes() const { return m_avatars.Decodes(); }

private:
    // A length in 96-DPI units at the window's DPI.
    int Scaled(int value) const;
    RECT RowRect(int row) const;
    RECT LinkRect(int row) const;
    int RowAt(POINT point) const;
    void OnMouseMove(POINT point);
    void InvalidateRow(int row) const;
    Gdiplus::Bitmap* Avatar(const std::string& path);
    void DrawRow(Gdiplus::Graphics& g, HDC hdc, int row, POINT origin);

    HWND m_parent = nullptr;
    ICommentListBoxMessage* m_sink = nullptr;
    CScrollBarUI m_bar;
    Gdiplus::Bitmap* m_frame = nullptr;
    RECT m_rect{};
    std::shared_ptr<const PictureComments> m_comments;
    // Commenters' avatars at the size they are drawn, the most recent few:
    // a long-running program meets thousands, some of them huge.
    DecodedPictures m_avatars{kKeptAvatars, false};
    int m_hot = -1;
    // Counts new lists, so that one made where a freed one was is told apart.
    unsigned m_generation = 0;
};
