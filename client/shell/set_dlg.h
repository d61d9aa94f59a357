#pragma once
#include <memory>
#include <string>

#include <windows.h>
// GDI+ needs the Windows types first.
#include <gdiplus.h>

#include "autorun_registry.h"
#include "config_store.h"
#include "layered_window.h"
#include "skinkit/button.h"
#include "skinkit/check_box.h"

// The settings pop-up: start with Windows and sign in automatically. Both
// boxes are read afresh from their stores each time it shows, and a click
// writes at once.
class CQNSetDlg : public CLayeredWindow {
public:
    enum CommandId : WORD { kAutoRunBox = 256, kAutoLoginBox = 257, kCloseButton = 258 };

    // configPath is vlconfig.xml's path; roots are where the Run keys live.
    CQNSetDlg(std::string configPath, RunKeyRoots roots = {});
    ~CQNSetDlg() override;
    CQNSetDlg(const CQNSetDlg&) = delete;
    CQNSetDlg& operator=(const CQNSetDlg&) = delete;

    BOOL HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    const wchar_t* GetWindowClassName() const override { return L"QNSetDlg"; }

    // Owned by parent; rect null: 425 x 290.
    bool Create(HWND parent, const RECT* rect = nullptr);
    // resourceFolder ends with a backslash.
    void LoadImages(const std::wstring& resourceFolder, int dpi = 96);
    void Show(bool show);

    bool AutoRunChecked() const { return m_autoRun.GetCheck(); }
    bool AutoLoginChecked() const { return m_autoLogin.GetCheck(); }

private:
    void OnCreate();
    void OnDpiChanged();
    void OnCommand(WORD id, WORD code);
    void OnLButtonDown(POINT point);
    void BindImages();
    SIZE PictureSize() const override { return m_size; }
    void Compose(HDC dc) override;

    std::string m_configPath;
    RunKeyRoots m_roots;
    // Made afresh on every show: a file gone since keeps nothing loaded.
    std::unique_ptr<ConfigDocument> m_config = std::make_unique<ConfigDocument>();
    SIZE m_size{425, 290};
    std::wstring m_resourceFolder;
    std::unique_ptr<Gdiplus::Bitmap> m_background;
    std::unique_ptr<Gdiplus::Bitmap> m_boxImage;
    std::unique_ptr<Gdiplus::Bitmap> m_closeImage;
    CCheckBoxUI m_autoRun;
    CCheckBoxUI m_autoLogin;
    CButtonUI m_close;
};
