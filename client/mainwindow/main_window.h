#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "client_services.h"
#include "comment_wnd.h"
#include "content_panels.h"
#include "downloader.h"
#include "feed_store.h"
#include "login_dlg.h"
#include "login_flow.h"
#include "main_window_timers.h"
#include "offline_mark.h"
#include "picture_strip.h"
#include "pictures_ahead.h"
#include "set_dlg.h"
#include "share_dlg.h"
#include "skinkit/button.h"
#include "skinkit/hyperlink.h"
#include "skinkit/image_list.h"
#include "skinkit/memory_dc.h"
#include "skinkit/messenger.h"
#include "skinkit/picture.h"
#include "skinkit/picture_viewer.h"
#include "skinkit/rich_edit.h"
#include "skinkit/tab.h"
#include "skinkit/window_base.h"
#include "tray_icon.h"
#include "web_window.h"
#include "window_messages.h"

class MessageLoop;

// What a command that needs a signed-in user leaves to be done after a login.
enum PendingAction : int {
    kPendingNone = 0,
    kPendingUpload = 1,
    kPendingComment = 2,
    kPendingFollow = 3,
    kPendingForward = 4,
    kPendingLike = 5,
};

// The full-screen main window: the picture viewer under the top controls,
// the tray icon, and the hub every worker, control and secondary window
// reports to.
class Qaurn_Navigate_window : public CWindowBase {
public:
    Qaurn_Navigate_window();
    ~Qaurn_Navigate_window() override;
    Qaurn_Navigate_window(const Qaurn_Navigate_window&) = delete;
    Qaurn_Navigate_window& operator=(const Qaurn_Navigate_window&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    const wchar_t* GetWindowClassName() const override { return L"Qaurn_Navigate_window"; }

    // The loop the web window's key filter joins; it outlives the window.
    void SetMessageLoop(MessageLoop* loop) { m_loop = loop; }
    // Hidden, covering the primary screen. A start makes the panels later:
    // the bar and the viewer are all its first paint shows.
    // A start's home feed leaves first, as soon as the services exist: the
    // window's controls and skin take longer than its round trip.
    enum class Panels { now, later };
    // Starts making ready what the window's first requests wait for (the
    // network libraries, the transfer thread, the proxy); called at start
    // before the window is made, beside its making.
    static void PrepareServices();
    enum class StartUpFetches { byCaller, homeFeedFirst };
    bool CreateFullScreen(Panels panels = Panels::now, StartUpFetches fetches = StartUpFetches::byCaller);
    // The content panels and the comment view, then the start's sign-in or
    // wizard; once, and before the message loop runs.
    void CreatePanels();
    bool PanelsMade() const { return m_panelsMade; }
    // The home feed, then the category list; once, after creation. When
    // creation sent the home feed, the list waits for the start's picture
    // (see AfterStartPicture): its feeds and thumbnails would share the
    // processors with that picture's decode and fit.
    void QueueStartUpFetches();
    // Runs `then` once the first picture on show is drawn, or none is coming,
    // or kStartPictureWaitMs after the first such wait began, whichever is
    // first; at once when that has happened.
    void AfterStartPicture(std::function<void()> then);
    static constexpr UINT kStartPictureWaitMs = 500;

    // What the viewer shows and the progress it was told, for the tests.
    const std::wstring& CurrentPicturePath() const { return m_currentPath; }
    std::wstring ProgressText() const;
    PendingAction Pending() const { return m_pending; }
    // The benchmarks open the strip where the pointer would.
    PictureStrip& Strip() { return m_strip; }
    const CQNWebBrowser2* WebWindowIfMade() const { return m_web.get(); }
    const ContentPanels& Content() const { return m_content; }
    ContentPanels& Content() { return m_content; }
    CCommentWnd& CommentView() { return m_comments; }
    // The picture the comment view is about.
    FeedStore::PicturePtr CurrentPicture() const;
    // For the tests of flows that cross windows.
    ClientServices& Services() { return *m_services; }
    bool ViewerUp() const { return m_viewerUp; }
    int TabSelection() const { return m_tab.GetCurSel(); }
    bool OfflineShown() const { return m_offlineMark.IsShown(); }
    bool InFullView() const { return m_fullView; }
    RECT SearchFieldRect() const { return m_searchField.GetWindowRect(); }
    bool SearchFieldFocused() const { return m_searchField.IsFocus(); }
    std::size_t CurrentIndex() const { return m_currentIndex; }
    const Rir_picture_ui& Viewer() const { return m_viewer; }
    Rir_picture_ui& Viewer() { return m_viewer; }
    // Neighbour requests still on their way.
    std::size_t PicturesAheadRunning() const { return m_ahead ? m_ahead->Running() : 0; }
    std::size_t PicturesAheadReady() const { return m_ahead ? m_ahead->Ready() : 0; }
    int PicturesAheadDecodes() const { return m_ahead ? m_ahead->Decodes() : 0; }

private:
    void OnCreate();
    void AddTrayIcon();
    void LoadSkin();
    void OnDpiChanged(WPARAM wParam, LPARAM lParam);
    void OnDestroy();
    void OnCommand(WORD id, WORD code, LPARAM lParam);
    bool OnPrivateMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // The private messages, one each.
    void OnTrayNotify(LPARAM mouse);
    void OnTabNotify(WPARAM code, LPARAM lParam);
    void OnShowLargePicture(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnShowPictureInfo(int kind, std::size_t index);
    void OnFeedOffline(bool offline);
    void OnLargeDownloadDone();
    void OnPictureArrived(std::uint32_t key);
    void OnOpenWebPage(WPARAM address);
    void OnShowHomePicture();
    void SettleStartPicture();
    void OpenHomePictureOnScreen();
    bool HomePictureDue() const;
    bool OnScreen() const;
    void OnFeedError();
    void OnDownloadProgress(int percent, const wchar_t* path);
    void OnAvatarChanged(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnTrayCommand(WPARAM wParam, LPARAM item);
    void OnShowOtherUsersPicture(const std::string* uid, std::size_t index);
    void OnShowOwnPicture(std::size_t index);
    void OnShowRowPicture(const std::string* key, std::size_t index);
    void OpenTrayMenu();
    void ShowSettings();
    void OpenWizard();
    void OnLoginState(LPARAM state);
    void OnKeyDown(WPARAM key);
    bool NeedsSignedIn(PendingAction action, LPARAM argument);
    void RunPending();
    void LikeCurrent();
    void FollowCurrent();
    void ConfirmInput();
    void OpenUploadPage();
    // The comment view (main_window_comments.cpp).
    void CreateCommentView();
    void PlaceCommentView();
    void OpenPagePicture(const std::string& shareId);
    void ShowPageDetails();
    void ShowPictureInComments(bool fetchComments = true);
    bool OnCommentCommand(WORD id, WORD code, LPARAM lParam);
    bool OnCommentKey(WPARAM key);
    bool OnCommentMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void UpdateCommentView();
    void OnActionResult(int kind, int outcome);
    void OpenLogin(bool fromSelf);
    void ShowLargePicture(std::wstring path, bool slides = false,
        Rir_picture_ui::PictureDecode decode = Rir_picture_ui::PictureDecode::here);
    void ShowHomePicture();
    bool ShowListPicture(const PictureListId& list, std::size_t index, bool slides = false);
    void DecodeShownPicture();
    void StepPicture(int step);
    // The neighbours of the picture on show (main_window_viewer.cpp).
    void TellNeighbours();
    void PrepareNeighbours();
    void PrepareNeighbourComments(std::size_t index);
    void OnPictureAhead();
    void PrepareNeighbourAvatars(std::uint32_t landed);
    // The large view (main_window_viewer.cpp).
    bool OnPictureKey(WPARAM key);
    void JumpToEnd(bool last);
    void ToggleFullView();
    void OnDoubleClick(POINT point);
    void EnterFullView();
    void LeaveFullView();
    void ShowTopControls(bool shown);
    void OnDisplayChange();
    void LayOutForScreen();
    PictureFit LargePictureFit() const;
    void DecodeAhead(const PictureRecord& picture);
    void PrepareStoredHomePicture();
    void ShowSignedIn();
    void ShowSignedOut();
    void OnSignOut();
    CLoginDlg& LoginWindow();
    CQNWebBrowser2& WebWindow();
    void OpenWebPage(const std::wstring& address);
    void HideWebWindow();
    void ShowShareDialog();
    void OnNewAvatar(const wchar_t* address);
    bool OnSetCursor();
    using PanelRoute = void (ContentPanels::*)(HWND, UINT, WPARAM, LPARAM);
    void HostControls();
    void HostPanelRoute(PanelRoute route, CControlHost::Filter takes = nullptr);
    // Screen readers (main_window_accessible.cpp).
    AccessibleFacts DescribeViewer();
    void AnnouncePicture();
    bool ViewerTakes(UINT msg, LPARAM lParam);
    bool OverTopControl(POINT point) const;
    void OnMouseMove(POINT point);
    void TrackPointerLeaving();
    void OnMouseLeave();
    void ShowAuthorPictures();
    void SlideViewerDown();
    void Paint();
    void PaintLayers(HDC dc, const RECT& client);

    CImageList m_images;
    CTabUI m_tab;
    CHyperLinkUI m_loginLink;
    CHyperLinkUI m_registerLink;
    CRichEditUI m_searchField;
    CButtonUI m_uploadButton;
    CButtonUI m_searchButton;
    CButtonUI m_avatarButton;
    CButtonUI m_userName;
    CPictureUI m_avatarPicture;
    CHyperLinkUI m_inviteLink;
    Rir_picture_ui m_viewer;
    CButtonUI m_noticeButton;
    CButtonUI m_fullViewButton;
    PictureStrip m_strip;
    OfflineMark m_offlineMark;
    // The back buffer, kept between paints: a fresh full-screen DIB costs
    // its page faults on every paint.
    __ostrel_memory_dc m_surface;
    ContentPanels m_content;
    TrayIcon m_tray;
    CCommentWnd m_comments;
    std::unique_ptr<CLoginDlg> m_login;
    std::unique_ptr<CQNWebBrowser2> m_web;
    std::unique_ptr<CQNShareDlg> m_share;
    MessageLoop* m_loop = nullptr;
    std::unique_ptr<CQNSetDlg> m_settings;
    std::unique_ptr<ClientServices> m_services;
    std::unique_ptr<PicturesAhead> m_ahead;

    PendingAction m_pending = kPendingNone;
    LPARAM m_pendingArgument = 0;
    int m_inputMode = 1;  // 1 comment, 3 forward
    int m_currentKind = 0;
    std::size_t m_currentIndex = 0;
    std::string m_currentKey;
    // A picture opened from a service page: the comment view and its actions
    // are about it until a list's picture is shown again.
    FeedStore::PicturePtr m_pagePicture;
    // From creation until CreatePanels, when the panels come later.
    bool m_panelsPending = false;
    bool m_homeFeedAtCreation = false;
    // The first picture on show is drawn, or none is coming, or the wait ended.
    bool m_startPictureSettled = false;
    std::vector<std::function<void()>> m_afterStartPicture;
    bool m_controlsMade = false;
    bool m_panelsMade = false;
    bool m_fullView = false;
    bool m_tabUsed = false;
    bool m_viewerUp = true;
    bool m_homeShown = false;
    bool m_doubleClicked = false;
    // A WM_MOUSELEAVE is asked for until it comes.
    bool m_trackingLeave = false;
    std::wstring m_currentPath;
    // Keeps the shown picture out of the cache bound's reach.
    PictureHold m_hold;
    std::unique_ptr<__ostrel_messenger> m_progress;
    std::unique_ptr<Gdiplus::Bitmap> m_avatar;
    // The picture a screen reader was last told of.
    std::string m_announcedPicture;
};
