#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "comment_edit.h"
#include "comment_list_box.h"
#include "comment_notice.h"
#include "decoded_pictures.h"
#include "feed_records.h"
#include "skinkit/button.h"
#include "skinkit/check_box.h"
#include "skinkit/hyperlink.h"
#include "skinkit/paint_cache.h"

// Timers on the main window.
constexpr UINT_PTR kCommentNoticeTimer = 1870;
constexpr UINT_PTR kCommentGrowTimer = 1871;

// The panel beside the large picture: the author, the picture's counts, the
// action buttons, the comments with a reply link each, the text input and
// the notice after each action. It draws into the main window, whose
// controls its buttons are; the input is a pop-up of its own.
class CCommentWnd : public ICommentListBoxMessage {
public:
    enum InputMode { kInputComment = 1, kInputForward = 3 };
    static constexpr int kHeaderHeight = 30;
    static constexpr std::size_t kKeptAuthorAvatars = 16;

    CCommentWnd();
    // The folded panel's height at the main window's DPI.
    int HeaderHeight() const { return Scaled(kHeaderHeight); }
    virtual ~CCommentWnd();
    CCommentWnd(const CCommentWnd&) = delete;
    CCommentWnd& operator=(const CCommentWnd&) = delete;

    bool Create(HWND mainWindow, const std::wstring& resourceFolder);
    // The main window was told a new DPI: pictures and places follow it.
    void ApplyDpi();
    // Left, top, right and the bottom of the unfolded panel.
    void SetPanelRect(const RECT& rect);
    RECT PanelRect() const;
    void Show(bool visible);
    bool IsShown() const { return m_visible; }
    void Fold(bool fold);
    // Folded to its header, or on the way there.
    bool Folded() const { return m_visible && m_target == HeaderHeight(); }
    bool Animating() const { return m_height != m_target; }

    void Paint(HDC hdc);
    void WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool OnSetCursor(POINT point) const;
    // Whether the pointer's clicks and wheel at point are the view's: over
    // it, or anywhere while its scroll bar is dragged.
    bool Covers(POINT point) const;
    void OnTimer(UINT_PTR id);

    void SetPicture(const PictureRecord& picture);
    // A download put a file in place (its LandedPictureKey): the author's
    // avatar is read again when it is that file.
    void OnPictureArrived(std::uint32_t key);
    // What the service says of a picture opened from one of its pages; the
    // text being written stays.
    void SetDetails(const PictureDetails& details);
    void SetComments(std::shared_ptr<const PictureComments> comments);
    const PictureComments* Comments() const { return m_comments.get(); }
    void SetFollowing(bool following);
    bool Following() const { return m_following; }
    // A follow or unfollow asked from this view; its result flips the state,
    // while a follow from elsewhere only shows its notice.
    void NoteFollowAsked() { m_followAsked = true; }
    bool TakeFollowAsked() { return std::exchange(m_followAsked, false); }

    void ShowResult(int code);
    int Notice() const { return m_notice; }
    struct Counts {
        int comments, forwards, likes;
    };
    Counts ShownCounts() const { return {m_commentCount, m_forwardCount, m_likeCount}; }

    void ToggleInput(InputMode mode);
    void CloseInput();
    void CancelInput();
    bool InputOpen() const { return m_inputOpen; }
    InputMode Mode() const { return m_mode; }
    std::wstring InputText() const { return m_edit.Text(); }
    // The comment a reply goes to, by its id, so a list that reloads while
    // the user types cannot move it; none for a comment of one's own. An
    // empty id is a row the service gave no id.
    const std::optional<std::string>& ReplyTarget() const { return m_replyTo; }
    void ClearReply() { m_replyTo.reset(); }
    bool AlsoComment() const { return m_alsoComment.GetCheck(); }

    // The author's avatar of a picture about to show, decoded and fitted
    // ahead, so showing that picture costs no decode.
    void PrepareAuthorAvatar(const std::string& path);
    // The same for the first rows of its comments.
    void PrepareListAvatars(const PictureComments& comments) { m_list.PrepareAvatars(comments); }
    std::size_t ListAvatarDecodes() const { return m_list.AvatarDecodes(); }
    std::size_t AuthorAvatarDecodes() const { return m_authorAvatars.Decodes(); }
    // How often the background was drawn anew rather than copied.
    unsigned BackgroundDraws() const { return m_backgroundDraws; }

    void OnCommentListMessage(int kind, int row) override;
    // The comment rows to a screen reader; hidden with the panel or its fold.
    AccessibleFacts DescribeComments() const;

private:
    // A length in 96-DPI units at the main window's DPI.
    int Scaled(int value) const;
    void LoadImages(const std::wstring& folder);
    void BindImages();
    void Layout();
    void PlaceInput();
    void SetHeight(int height);
    void AnimateTo(int height);
    void Invalidate() const;
    // Background, author, counts, rule and comment rows: what changes only
    // with the picture, its comments, the panel's height, the input and the
    // list's scroll and hover, kept as a ready picture.
    void PaintBase(HDC hdc);
    // These draw with the panel's top-left corner at (l, t).
    void DrawBase(HDC hdc, int l, int t);
    void PaintBackground(HDC hdc, int l, int t);
    void DrawBackground(Gdiplus::Graphics& g, int l, int t) const;
    Gdiplus::Bitmap* AuthorAvatar(std::size_t* serial);
    void DrawAuthor(HDC hdc, Gdiplus::Graphics& g, int l, int t);
    void DrawCounts(HDC hdc, int l, int t) const;
    void PaintNotice(HDC hdc, Gdiplus::Graphics& g) const;
    RECT NoticeRect() const;

    HWND m_main = nullptr;
    std::wstring m_folder;
    bool m_visible = false;
    bool m_inputOpen = false;
    // The input was opened while the panel was still too low to show it:
    // it takes the keyboard once it shows.
    bool m_focusInput = false;
    InputMode m_mode = kInputComment;
    RECT m_full{};
    int m_height = 0;
    int m_target = 0;
    int m_unfoldedHeight = 0;

    std::wstring m_avatarPath;
    // Whether an avatar on show may have changed on disk (a new picture or
    // list, or one that landed): only then does a paint look at the files,
    // a file-system call per avatar on every frame of a swap otherwise.
    bool m_avatarsMayHaveChanged = true;
    std::size_t m_authorAvatarSerial = 0;
    // Authors' avatars at the size they are drawn, the last few: stepping
    // back and forth meets the same authors again.
    DecodedPictures m_authorAvatars{kKeptAuthorAvatars, false};
    std::wstring m_timeLine;
    std::wstring m_name;
    int m_fans = 0;
    int m_commentCount = 0;
    int m_forwardCount = 0;
    int m_likeCount = 0;
    bool m_following = false;
    bool m_followAsked = false;
    std::optional<std::string> m_replyTo;
    int m_notice = kNoticeNone;
    std::shared_ptr<const PictureComments> m_comments;

    struct Images;
    std::unique_ptr<Images> m_images;
    // The base as last drawn: GDI+ drawing of it cost about ten
    // milliseconds a paint under Wine, a copy of the drawing about two.
    CPaintCache m_basePaint;
    // The background alone, which a new picture or comment list leaves as
    // it is: drawing it through GDI+ cost more than all the text.
    CPaintCache m_backgroundPaint;
    unsigned m_backgroundDraws = 0;
    CButtonUI m_header;
    CButtonUI m_wallpaper;
    CButtonUI m_like;
    CButtonUI m_forward;
    CButtonUI m_comment;
    CButtonUI m_follow;
    CHyperLinkUI m_unfollow;
    CButtonUI m_authorAvatar;
    CButtonUI m_confirm;
    CHyperLinkUI m_cancel;
    CCheckBoxUI m_alsoComment;
    CCheckBoxUI m_fold;
    CCommentListBox m_list;
    CCommentEdit m_edit;
};
