#pragma once

#include <deque>
#include <string>

#include <windows.h>
#include <gdiplus.h>
#include <richedit.h>

#include "skinkit/paint_cache.h"
#include "skinkit/skinkit_api.h"
#include "win32kit/scoped_win.h"

class CTxtWinHost;
struct IDropTarget;

// Notification codes in the high word of WM_COMMAND's wParam.
constexpr WORD kEditCharTyped = 1;
constexpr WORD kEditClicked = 2;
constexpr WORD kEditContextMenu = 4;
constexpr WORD kEditFocusGained = 5;
constexpr WORD kEditFocusLost = 6;
constexpr WORD kEditTextChanged = 7;

// Timers on the parent window.
constexpr UINT_PTR kEditCaretTimer = 4890;
constexpr UINT_PTR kEditScrollUpTimer = 4889;
constexpr UINT_PTR kEditScrollDownTimer = 4888;

// Commands of the parent's edit menu routed back with lParam 0.
constexpr UINT kEditMenuCopy = 1001;
constexpr UINT kEditMenuPaste = 1002;
constexpr UINT kEditMenuCut = 1003;

// A windowless text field running riched20's text services inside its parent
// window, with a three-part picture background, its own caret and password
// masking for layered windows (OnPaint2).
class SKINKIT_API CRichEditUI {
public:
    CRichEditUI();
    CRichEditUI(HWND parent, RECT* rect, DWORD style);
    CRichEditUI(HWND parent, int x, int y, int w, int h, DWORD style, bool flag);
    ~CRichEditUI();
    CRichEditUI(const CRichEditUI&) = delete;
    CRichEditUI& operator=(const CRichEditUI&) = delete;

    virtual LRESULT TxSendMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) const;
    virtual bool OnTxViewChanged() { return true; }
    virtual void OnTxNotify(DWORD code, void* data) { }

    bool Create(HWND parent, WORD id, DWORD style);
    bool Create(HWND parent, int x, int y, int w, int h, DWORD style);
    bool Create(HWND parent, RECT* rect, DWORD style);
    void SetAttribute(
        const std::wstring& section, const std::wstring& iniFile, const std::deque<Gdiplus::Bitmap*>& images);
    void SetBkRect(int left, int top, int right, int bottom);
    // Background pictures from elsewhere than its own INI section (not owned).
    void SetBkImages(Gdiplus::Bitmap* left, Gdiplus::Bitmap* middle, Gdiplus::Bitmap* right);
    void SetEidtRect(int left, int top, int right, int bottom);
    RECT GetWindowRect() const { return m_editRect; }
    RECT GetEditBkRect() const { return m_bkRect; }
    void SetPos(RECT) { }
    void ShowWindow(bool visible);
    bool IsWindowVisible() const { return m_visible; }

    void SetFocus();
    void KillFocus();
    bool IsFocus() const { return m_focus && m_visible; }

    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void OnLButtonDown();
    void OnLButtonUp();
    void OnLButtonDblClick();
    void OnRButtonUp();
    void OnMouseMove();
    void OnMouseLeave();
    void OnTimer(UINT id);
    void OnMenuSel(UINT cmd);
    void Clicked();
    bool OnSetCursor() const;

    std::wstring GetWindowTextW() const;
    void SetWindowTextW(const wchar_t* text);
    long GetTextLength(DWORD flags = GTL_DEFAULT) const;
    bool GetModify() const;
    void SetModify(bool modified);
    void GetSel(CHARRANGE& range) const;
    void GetSel(long& start, long& end) const;
    void SetSel(CHARRANGE& range);
    void SetSel(long start, long end);
    void SetSelAll() { SetSel(0, -1); }
    void SetSelEmpty();
    void ReplaceSel(const wchar_t* text, bool canUndo);
    std::wstring GetSelText() const;
    void InsertText(long pos, const wchar_t* text, bool canUndo);
    void AppendText(const wchar_t* text, bool canUndo);
    std::wstring GetTextRange(long start, long end) const;
    bool GetZoom(int& numerator, int& denominator) const;
    bool SetZoom(int numerator, int denominator);
    bool SetZoomOff();
    WORD GetSelectionType() const;
    bool GetAutoURLDetect() const;
    bool SetAutoURLDetect(bool enable);
    DWORD GetEventMask() const;
    DWORD SetEventMask(DWORD mask);
    void HideSelection(bool hide, bool changeStyle);
    void ScrollCaret();
    DWORD GetDefaultCharFormat(CHARFORMAT2W& format) const;
    bool SetDefaultCharFormat(CHARFORMAT2W& format);
    DWORD GetSelectionCharFormat(CHARFORMAT2W& format) const;
    bool SetSelectionCharFormat(CHARFORMAT2W& format);
    bool SetWordCharFormat(CHARFORMAT2W& format);
    DWORD GetParaFormat(PARAFORMAT2& format) const;
    bool SetParaFormat(PARAFORMAT2& format);
    bool Undo();
    bool Redo();
    void EmptyUndoBuffer();
    UINT SetUndoLimit(UINT limit);
    void Copy();
    void Clear();
    void Cut();
    void Paste();
    int GetLineCount() const;
    std::wstring GetLine(int index, int maxChars) const;
    int LineIndex(int line = -1) const;
    int LineLength(int line = -1) const;
    bool LineScroll(int lines, int chars = 0);
    long LineFromChar(long index) const;
    POINT PosFromChar(UINT index) const;
    POINT GetCharPos(UINT index) const { return PosFromChar(index); }
    int CharFromPos(POINT point) const;
    long StreamIn(int format, EDITSTREAM& stream);
    long StreamOut(int format, EDITSTREAM& stream);
    void LineUp();
    void LineDown();
    void PageUp();
    void PageDown();
    void HomeUp();
    void EndDown();
    void LineLeft();
    void LineRight();
    void PageLeft();
    void PageRight();
    void HomeLeft();
    void EndRight();
    IDropTarget* GetTxDropTarget() const;

    void SetRich(bool rich);
    bool IsRich() const { return m_rich; }
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_readOnly; }
    void SetWordWrap(bool wrap);
    bool GetWordWrap() const { return m_wordWrap; }
    wchar_t SetPasswordChar(wchar_t ch);
    bool IsPassword() const { return m_password; }
    void SetLimitText(int limit);
    int GetLimitText() const { return m_limit; }
    void SetTextColor(COLORREF color);
    COLORREF GetTextColor() const { return m_engineTextColor; }
    void SetFont(int height);
    void SetFont(const wchar_t* face, int size, bool bold, bool underline, bool italic);
    int GetFont() const { return m_fontSize; }
    void SetWindowStyle(DWORD style) { m_style = style; }
    DWORD GetWindowStyle() const { return m_style; }
    bool ModifyStyle(DWORD remove, DWORD add, bool redraw);
    void SetBkTransParent(bool transparent) { m_transparent = transparent; }
    bool IsCaretPhaseVisible() const { return m_caretVisible; }
    int GetBkState() const { return m_bkState; }
    bool HasTextHost() const { return m_host.Get() != nullptr; }

    void OnPaint(HDC hdc);
    void OnPaint2(HDC hdc, HBITMAP unused);

    // Used by the text host.
    HWND GetParentHWND() const { return m_parent; }
    void OnScrollBarRequest(int bar, bool show, LONG minPos, LONG maxPos, int pos, bool updatePos);

private:
    friend class CTxtWinHost;

    bool CreateHost(DWORD style);
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void NotifyParent(WORD code, bool post) const;
    void ResolveRects();
    void UpdateBkState(int state);
    void DrawBackground(HDC hdc, bool stretchLeftOnly);
    void DrawScrollBar(HDC hdc);
    void DrawOwnText(HDC hdc);
    bool CursorInside(const RECT& rect) const;
    void InvalidateParent(const RECT* rect) const;

    HWND m_parent = nullptr;
    Gdiplus::Bitmap* m_bkLeft = nullptr;
    Gdiplus::Bitmap* m_bkMiddle = nullptr;
    Gdiplus::Bitmap* m_bkRight = nullptr;
    std::wstring m_drawFace;
    int m_drawFontSize = 12;
    COLORREF m_drawTextColor;
    bool m_caretVisible = false;
    bool m_password = false;
    RECT m_rawBkRect{};
    RECT m_rawEditRect{};
    RECT m_bkRect{};
    RECT m_editRect{};
    bool m_vbarShown = false;
    LONG m_vbarMin = 0;
    LONG m_vbarMax = 0;
    int m_vbarPos = 0;
    int m_barWidth = 17;
    bool m_thumbDrag = false;
    // Owns one reference; the host's last release frees the engine.
    win32kit::ComPtr<CTxtWinHost> m_host;
    bool m_rich = true;
    bool m_readOnly = false;
    bool m_wordWrap = false;
    COLORREF m_engineTextColor;
    int m_fontSize = -1;
    int m_limit = 0x7FFF;
    DWORD m_style = ES_MULTILINE;
    std::wstring m_cachedText;
    bool m_focus = false;
    bool m_transparent = false;
    bool m_flag = true;
    WORD m_id = 0xFFFF;
    bool m_visible = true;
    int m_bkState = 0;
    CPaintCache m_bkCache;
    CPaintCache m_textCache;
};
