// The main window's secondary windows: the web window the service's pages
// open in, the share dialog, and what pages hand back through window.external.
#include "main_window.h"

#include "message_loop.h"
#include "own_avatar.h"
#include "program_folder.h"
#include "win32/wide_text.h"

CQNWebBrowser2& Qaurn_Navigate_window::WebWindow()
{
    if (!m_web) {
        m_web = std::make_unique<CQNWebBrowser2>(m_hWnd, ResourceFolder(), CBrowserView::HtmlEngineAvailable());
        m_web->Create();
        m_web->View().SetTrustedOrigin(Widen(m_services->BaseUrl()));
        if (m_loop)
            m_loop->AddFilter(m_web.get());
    }
    return *m_web;
}

void Qaurn_Navigate_window::OpenWebPage(const std::wstring& address)
{
    if (!address.empty())
        WebWindow().Open(address);
}

void Qaurn_Navigate_window::ShowShareDialog()
{
    if (!m_share) {
        m_share = std::make_unique<CQNShareDlg>();
        m_share->Create(m_hWnd, ResourceFolder());
    }
    if (!IsWindowVisible(m_share->GetHWND()))
        m_share->Show(true);
}

// A page set a new avatar: the shown one goes at once, the new one shows
// when its download has put it in place.
void Qaurn_Navigate_window::OnNewAvatar(const wchar_t* address)
{
    if (!address || !*address)
        return;
    m_avatarPicture.set_picture_ptr(nullptr);
    m_avatar.reset();
    RefreshOwnAvatar(m_services->Feeds(), Narrow(address));
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

// The comment window takes the picture; the page that asked goes away.
void Qaurn_Navigate_window::HideWebWindow()
{
    if (m_web && m_web->IsVisible())
        m_web->Show(false);
}
