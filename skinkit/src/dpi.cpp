#include "skinkit/dpi.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "skinkit/picture.h"
#include "skinkit/picture_scaling.h"

namespace skinkit {

namespace {

constexpr const wchar_t* kDpiProperty = L"SkinkitDpi";
constexpr int kSetDpis[] = {96, 144, 192};

int BoundDpi(int dpi) { return std::min(kMaxDpi, std::max(kMinDpi, dpi)); }

// GetDpiForWindow is missing before Windows 10.
int SystemWindowDpi(HWND hwnd)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi && hwnd) {
        const UINT dpi = getDpi(hwnd);
        if (dpi != 0)
            return int(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : kBaseDpi;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kBaseDpi;
}

HWND TopLevel(HWND hwnd)
{
    HWND root = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
    return root ? root : hwnd;
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The sets to try for dpi, best first: its own, the larger ones upwards,
// then the smaller ones downwards.
std::vector<int> SetsToTry(int dpi)
{
    const int own = SkinSetDpi(dpi);
    std::vector<int> order{own};
    for (int set : kSetDpis)
        if (set > own)
            order.push_back(set);
    for (auto it = std::rbegin(kSetDpis); it != std::rend(kSetDpis); ++it)
        if (*it < own)
            order.push_back(*it);
    return order;
}

}  // namespace

int WindowDpi(HWND hwnd)
{
    HWND root = TopLevel(hwnd);
    if (!root || !IsWindow(root))
        return BoundDpi(SystemWindowDpi(nullptr));
    // A pop-up opens where its owner is, so until told otherwise it takes
    // the owner's DPI.
    for (HWND window : {root, GetAncestor(root, GA_ROOTOWNER)}) {
        const auto told = window ? reinterpret_cast<INT_PTR>(GetPropW(window, kDpiProperty)) : 0;
        if (told != 0)
            return BoundDpi(int(told));
    }
    return BoundDpi(SystemWindowDpi(root));
}

void SetWindowDpi(HWND hwnd, int dpi)
{
    HWND root = TopLevel(hwnd);
    if (root && IsWindow(root))
        SetPropW(root, kDpiProperty, reinterpret_cast<HANDLE>(INT_PTR(BoundDpi(dpi))));
}

void TakeDpiChange(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    SetWindowDpi(hwnd, LOWORD(wParam));
    const auto* suggested = reinterpret_cast<const RECT*>(lParam);
    if (suggested)
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
            suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT ScaleRectToDpi(const RECT& rect, int dpi)
{
    return RECT{ScaleToDpi(rect.left, dpi), ScaleToDpi(rect.top, dpi), ScaleToDpi(rect.right, dpi),
        ScaleToDpi(rect.bottom, dpi)};
}

int SkinSetDpi(int dpi)
{
    for (int set : kSetDpis)
        if (dpi <= set)
            return set;
    return kSetDpis[std::size(kSetDpis) - 1];
}

std::wstring SkinSetFile(const std::wstring& path, int setDpi)
{
    if (setDpi == kBaseDpi)
        return path;
    const wchar_t* tag = setDpi == 144 ? L"@1.5x" : L"@2x";
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return path + tag;
    return path.substr(0, dot) + tag + path.substr(dot);
}

std::unique_ptr<Gdiplus::Bitmap> LoadSkinPicture(const std::wstring& path, int dpi)
{
    dpi = BoundDpi(dpi);
    for (int set : SetsToTry(dpi)) {
        const std::wstring file = SkinSetFile(path, set);
        if (!FileExists(file))
            continue;
        std::unique_ptr<Gdiplus::Bitmap> picture = LoadPictureFile(file);
        if (!picture || set == dpi)
            return picture;
        const int width = std::max(1, MulDiv(int(picture->GetWidth()), dpi, set));
        const int height = std::max(1, MulDiv(int(picture->GetHeight()), dpi, set));
        return ScaledPicture(*picture, width, height);
    }
    return nullptr;
}

}  // namespace skinkit
