// The main window's pop-ups of the shell: the tray menu and the settings dialog.
#include "main_window.h"

#include "program_folder.h"
#include "set_dlg.h"
#include "skinkit/dpi.h"
#include "taskbar_icon_menu.h"
#include "win32/wide_text.h"
#include "wizard_dlg.h"

void Qaurn_Navigate_window::OpenTrayMenu()
{
    auto* menu = new CTaskBarIconMenu;
    menu->LoadImages(ResourceFolder(), skinkit::WindowDpi(m_hWnd));
    if (!menu->Create(m_hWnd)) {
        delete menu;
        return;
    }
    menu->DeleteWhenGone();
    POINT pointer{};
    GetCursorPos(&pointer);
    menu->Open(pointer.x, pointer.y);
}

void Qaurn_Navigate_window::ShowSettings()
{
    if (!m_settings) {
        m_settings = std::make_unique<CQNSetDlg>(Narrow(ProgramFolder()) + "vlconfig.xml");
        m_settings->LoadImages(ResourceFolder(), skinkit::WindowDpi(m_hWnd));
        if (!m_settings->Create(m_hWnd)) {
            m_settings.reset();
            return;
        }
    }
    m_settings->Show(true);
}

void Qaurn_Navigate_window::OpenWizard()
{
    // Shows this window again when it goes.
    auto* wizard = new CQNWizardDlg(m_hWnd, ResourceFolder() + L"wizard\\");
    if (!wizard->Create()) {
        delete wizard;
        ::ShowWindow(m_hWnd, SW_SHOW);
        return;
    }
    wizard->DeleteWhenGone();
    wizard->Show(true);
}
