// skinkit_gallery: opens the control gallery (or, with --login, the login
// window's skin; with --viewer=default|large|fit|small|loading, the picture
// viewer in that scene) and runs until it is closed.
#include <windows.h>
#include <gdiplus.h>
#include <objbase.h>

#include <cwchar>

#include "gallery_window.h"
#include "login_preview.h"
#include "viewer_preview.h"

namespace {

class GdiplusSession {
public:
    GdiplusSession()
    {
        Gdiplus::GdiplusStartupInput input;
        m_ok = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession()
    {
        if (m_ok)
            Gdiplus::GdiplusShutdown(m_token);
    }
    bool Ok() const { return m_ok; }

private:
    ULONG_PTR m_token = 0;
    bool m_ok = false;
};

int RunLoop()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// The scene named by --viewer=NAME; false without the option.
bool ViewerSceneFrom(const wchar_t* commandLine, ViewerScene& scene)
{
    const wchar_t* option = commandLine ? wcsstr(commandLine, L"--viewer") : nullptr;
    if (!option)
        return false;
    struct Named {
        const wchar_t* name;
        ViewerScene scene;
    };
    const Named kScenes[] = {{L"=large", ViewerScene::kLarge}, {L"=fit", ViewerScene::kFit},
        {L"=small", ViewerScene::kSmall}, {L"=loading", ViewerScene::kLoading}};
    scene = ViewerScene::kDefault;
    for (const Named& n : kScenes) {
        if (wcsncmp(option + 8, n.name, wcslen(n.name)) == 0)
            scene = n.scene;
    }
    return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    OleInitialize(nullptr);
    int code = 1;
    {
        GdiplusSession gdiplus;
        if (!gdiplus.Ok())
            return 1;
        ViewerScene scene = ViewerScene::kDefault;
        if (ViewerSceneFrom(commandLine, scene)) {
            CViewerPreview viewer;
            if (viewer.Create(scene)) {
                viewer.ShowWindow(SW_SHOW);
                code = RunLoop();
            }
        } else if (commandLine && wcsstr(commandLine, L"--login")) {
            CLoginPreview login;
            if (login.Create(ProgramFolder() + L"Qnv_resource\\")) {
                login.ShowWindow(SW_SHOW);
                code = RunLoop();
            }
        } else {
            CGalleryWindow gallery;
            if (gallery.Create(L"", true)) {
                gallery.ShowWindow(SW_SHOW);
                code = RunLoop();
            }
        }
    }
    OleUninitialize();
    return code;
}
