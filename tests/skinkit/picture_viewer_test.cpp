// The picture viewer and its messenger, driven by synthesised messages.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include <tlhelp32.h>

#include "skinkit/messenger.h"
#include "skinkit/picture.h"
#include "skinkit/picture_scaling.h"
#include "skinkit/picture_viewer.h"
#include "test_window.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr COLORREF kCoral = RGB(229, 72, 77);
constexpr COLORREF kTeal = RGB(14, 194, 210);

struct Sent {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Sent& o) const { return msg == o.msg && wParam == o.wParam && lParam == o.lParam; }
};

::testing::AssertionResult SameRect(const RECT& expected, const RECT& actual)
{
    if (EqualRect(&expected, &actual))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected {" << expected.left << "," << expected.top << ","
                                         << expected.right << "," << expected.bottom << "} got {" << actual.left << ","
                                         << actual.top << "," << actual.right << "," << actual.bottom << "}";
}

bool IsShade(UINT32 p) { return Red(p) < 20 && Green(p) < 20 && Blue(p) < 20; }

int ThreadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    }
    CloseHandle(snapshot);
    return count;
}

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.Open(kWidth, kHeight));
        // The title piece is the one image drawing needs.
        title = Strip(355, 30, {RGB(0, 163, 223)});
        ini = folder.Write(L"viewer.ini", L"[viewer]\r\nImage_l=1\r\nrect=0,0,800,600\r\n");
        parent.router = [this](UINT msg, WPARAM wParam, LPARAM lParam) {
            if (msg == WM_COMMAND || msg == kViewerUpdateCommentView || msg == kViewerLeaveFullView) {
                sent.push_back({msg, wParam, lParam});
            }
            if (viewer)
                viewer->WindowProc(parent.GetHWND(), msg, wParam, lParam);
        };
        NewViewer();
    }
    void TearDown() override { parent.router = nullptr; }

    void NewViewer()
    {
        viewer.reset();
        viewer = std::make_unique<Rir_picture_ui>();
        ASSERT_TRUE(viewer->Create(parent.GetHWND(), true));
        viewer->SetAttribute(L"viewer", ini, {title.get()});
        viewer->set_window_rect(0, 0, kWidth, kHeight);
        sent.clear();
    }

    // A solid picture file; the viewer keeps no file open, so it can be
    // replaced while shown.
    std::wstring WritePicture(const std::wstring& name, int width, int height, COLORREF color, BYTE alpha = 255)
    {
        const std::wstring path = folder.Path() + name;
        Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
        {
            Gdiplus::Graphics g(&bitmap);
            g.Clear(Gdiplus::Color(alpha, GetRValue(color), GetGValue(color), GetBValue(color)));
        }
        const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        EXPECT_EQ(Gdiplus::Ok, bitmap.Save(path.c_str(), &png, nullptr));
        written.push_back(path);
        return path;
    }

    // Shows path as after the first click (the default picture gone).
    void Show(const std::wstring& path)
    {
        viewer->OnLButtonUp(0, 0);
        viewer->set_bk_image_local_path(path);
        sent.clear();
    }

    void Paint(Surface& surface)
    {
        surface.Clear(0);
        viewer->OnPaint(surface.Dc());
    }

    ScratchFolder folder;
    std::wstring ini;
    std::unique_ptr<Gdiplus::Bitmap> title;
    std::vector<Sent> sent;
    TestParent parent;
    std::unique_ptr<Rir_picture_ui> viewer;
    __ostrel_messenger messenger;

    struct Cleanup {
        std::vector<std::wstring>& files;
        ~Cleanup()
        {
            for (const std::wstring& f : files)
                DeleteFileW(f.c_str());
        }
    };
    std::vector<std::wstring> written;
    Cleanup cleanup{written};
};

TEST_F(ViewerTest, PictureLayoutFollowsTheBarAndTheMessengerPoint)
{
    struct Case {
        const char* name;
        int width;
        int height;
        int point;  // messenger point, -1 for no messenger
        bool hideBar;
        RECT expected;
    };
    const Case kCases[] = {
        {"point above the bar leaves no room: natural size", 300, 500, 100, false, {250, 50, 550, 550}},
        {"not a picture at all", 0, 0, 529, false, {}},
        {"shorter than the viewer, taller than the room: fits from 129 to the point", 300, 500, 529, false,
            {280, 129, 520, 529}},
        {"the same without a messenger: natural size", 300, 500, -1, false, {250, 50, 550, 550}},
        {"wider and taller than the viewer: its height, centred", 1000, 625, -1, false, {-80, 30, 880, 630}},
        {"wider and taller, messenger set: its height, centred", 1000, 625, 529, false, {-80, 30, 880, 630}},
        {"smaller: natural size, centred", 200, 100, 529, false, {300, 250, 500, 350}},
        {"only wider: natural size in the middle", 1000, 300, -1, false, {-100, 150, 900, 450}},
        {"only taller: natural size below the bar", 300, 800, -1, false, {250, 30, 550, 830}},
        {"bar hidden (last: it stays hidden): the point does not apply", 300, 500, 529, true, {250, 50, 550, 550}},
    };
    Surface surface(kWidth, kHeight);
    int row = 0;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        messenger.set_ponit_val(c.point);
        viewer->set_messenger(c.point < 0 ? nullptr : &messenger);
        if (c.hideBar)
            viewer->slid_up_proc();
        const std::wstring name = L"layout" + std::to_wstring(row++) + L".png";
        std::wstring path = folder.Path() + name;
        if (c.width) {
            path = WritePicture(name, c.width, c.height, kCoral);
        } else {
            folder.Write(name, L"not a picture");
        }
        Show(path);
        EXPECT_TRUE(SameRect(c.expected, viewer->GetPictureRect()));
        Paint(surface);
        if (IsRectEmpty(&c.expected))
            continue;
        RECT visible{};
        const RECT below{0, 31, kWidth, kHeight};
        IntersectRect(&visible, &c.expected, &below);
        const int midX = (visible.left + visible.right) / 2;
        const int midY = (visible.top + visible.bottom) / 2;
        EXPECT_TRUE(Near(surface.Pixel(midX, midY), kCoral));
        if (c.expected.left >= 3) {
            EXPECT_TRUE(IsShade(surface.Pixel(c.expected.left - 3, midY)));
        }
        if (c.expected.top >= 34) {
            EXPECT_TRUE(IsShade(surface.Pixel(midX, c.expected.top - 3)));
        }
    }
}

TEST_F(ViewerTest, ClickHalvesSendPreviousOrNextThenTheCommentUpdate)
{
    struct Case {
        const char* name;
        bool picture;
        int x;
        WORD command;  // 0: nothing sent
    };
    const Case kCases[] = {
        {"no picture yet (first): only the default picture goes", false, 100, 0},
        {"left edge", true, 0, kViewerPrevious},
        {"just left of the middle", true, 399, kViewerPrevious},
        {"exactly the middle", true, 400, kViewerNext},
        {"right edge", true, 799, kViewerNext},
    };
    const std::wstring path = WritePicture(L"click.png", 200, 100, kCoral);
    EXPECT_TRUE(viewer->IsShowingDefaultPicture());
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        if (c.picture)
            viewer->set_bk_image_local_path(path);
        sent.clear();
        parent.Send(WM_LBUTTONUP, 0, MAKELPARAM(c.x, 300));
        EXPECT_FALSE(viewer->IsShowingDefaultPicture());
        std::vector<Sent> expected;
        if (c.command)
            expected = {{WM_COMMAND, c.command, 0}, {kViewerUpdateCommentView, 0, 0}};
        EXPECT_EQ(expected, sent);
    }
}

TEST_F(ViewerTest, PointerNearTheTopBringsTheHiddenBarBackOnce)
{
    Show(WritePicture(L"move.png", 200, 300, kCoral));
    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(400, 120));  // over the picture but above 130
    EXPECT_NE(hand, GetCursor());
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(400, 300));
    EXPECT_EQ(hand, GetCursor());
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(400, 40));
    EXPECT_TRUE(sent.empty()) << "the bar was not hidden";

    viewer->slid_up_proc();
    ASSERT_TRUE(viewer->IsBarHidden());
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(400, 60));
    EXPECT_TRUE(sent.empty());
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(400, 40));
    parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(400, 30));
    EXPECT_EQ((std::vector<Sent>{{kViewerLeaveFullView, 0, 0}}), sent);
    EXPECT_FALSE(viewer->IsBarHidden());
}

TEST_F(ViewerTest, SpinnerRunsThroughItsFramesAndTheOpeningEndsOnTick31)
{
    std::vector<int> phases;
    std::vector<int> expected;
    for (int i = 1; i <= 26; ++i) {
        parent.Send(WM_TIMER, kViewerSpinnerTimer);
        phases.push_back(viewer->GetSpinnerPhase());
        expected.push_back(i * 20 % 500);
    }
    EXPECT_EQ(expected, phases);  // ... 460, 480, 0, 20

    viewer->set_window_rc_type3();
    for (int round = 0; round < 2; ++round) {
        for (int tick = 1; tick < 31; ++tick)
            EXPECT_EQ(0, viewer->OnTimer(WM_TIMER, kViewerOpeningTimer, 0));
        EXPECT_FALSE(viewer->IsOpeningDone());
        EXPECT_EQ(kViewerOpeningDone, viewer->OnTimer(WM_TIMER, kViewerOpeningTimer, 0));
        EXPECT_TRUE(viewer->IsOpeningDone());
        viewer->set_window_rc_type3();
    }
}

TEST_F(ViewerTest, MissingFileShowsTheSpinnerAndThePercentage)
{
    struct Case {
        const char* name;
        bool withMessenger;
        const wchar_t* percent;
        bool text;
    };
    const Case kCases[] = {
        {"no messenger", false, L"", false},
        {"empty percentage", true, L"", false},
        {"a percentage", true, L"42", true},
    };
    Surface surface(kWidth, kHeight);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        viewer->set_messenger(c.withMessenger ? &messenger : nullptr);
        Show(folder.Path() + L"not-there-yet.jpg");
        messenger.set_download_percent(c.percent);
        Paint(surface);
        const RECT picture = viewer->GetPictureRect();
        EXPECT_TRUE(IsRectEmpty(&picture));
        // The spinner frame from the program's resource, at the middle.
        EXPECT_GT(CountIf(surface, {400, 300, 420, 320}, [](UINT32 p) { return !IsShade(p); }), 10);
        const int white = CountIf(
            surface, {395, 330, 495, 350}, [](UINT32 p) { return Red(p) > 200 && Green(p) > 200 && Blue(p) > 200; });
        EXPECT_EQ(c.text, white > 10) << white;
    }
}

TEST_F(ViewerTest, OnlyOneOfTheSecondSlidesRunsAtATime)
{
    EXPECT_TRUE(viewer->show_slid_down_2());
    EXPECT_FALSE(viewer->show_slid_up_2());
    EXPECT_FALSE(viewer->show_slid_down_2());
    ASSERT_TRUE(PumpUntil([&] { return !viewer->IsSlideRunning(); }, 5000));
    EXPECT_EQ(129, viewer->GetBarBottom());
    EXPECT_TRUE(viewer->show_slid_up_2());
    ASSERT_TRUE(PumpUntil([&] { return !viewer->IsSlideRunning(); }, 5000));
    EXPECT_EQ(30, viewer->GetBarBottom());

    struct Case {
        const char* name;
        void (Rir_picture_ui::*slide)();
        int bottom;
        bool hidden;
    };
    const Case kCases[] = {
        {"up: hidden at 0", &Rir_picture_ui::slid_up_proc, 0, true},
        {"down: shown at 129", &Rir_picture_ui::slid_down_proc, 129, false},
        {"up 2: back to 30", &Rir_picture_ui::slid_up_proc_2, 30, false},
        {"down 3: from 5 to 30", &Rir_picture_ui::slid_down_proc_3, 30, false},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        (viewer.get()->*c.slide)();
        EXPECT_EQ(c.bottom, viewer->GetBarBottom());
        EXPECT_EQ(c.hidden, viewer->IsBarHidden());
    }
}

// A picture a worker decodes is awaited from the moment it is set, even with
// its file already there: neither setting it nor a paint decodes it on the
// window's thread, and the worker's pixels show once they come.
TEST_F(ViewerTest, AnAwaitedPictureIsNotDecodedHereThoughItsFileIsThere)
{
    Show(WritePicture(L"before.png", 200, 100, kCoral));
    Surface surface(kWidth, kHeight);
    Paint(surface);
    const unsigned decodes = viewer->GetDecodeCount();
    const std::wstring path = WritePicture(L"there.png", 200, 100, kTeal);
    viewer->set_bk_image_local_path(path, Rir_picture_ui::PictureDecode::awaited);
    EXPECT_TRUE(viewer->Awaits(path));
    Paint(surface);
    EXPECT_EQ(viewer->GetDecodeCount(), decodes) << "decoded on the window's thread";
    EXPECT_FALSE(Near(surface.Pixel(400, 300), kTeal));

    viewer->StopAwaiting(path);  // the worker had none after all
    Paint(surface);
    EXPECT_TRUE(Near(surface.Pixel(400, 300), kTeal)) << "then the window's thread reads the file itself";
}

TEST_F(ViewerTest, PictureIsDecodedOnceAndAFileThatAppearsLaterIsPickedUp)
{
    const std::wstring path = folder.Path() + L"later.png";
    Show(path);
    Surface surface(kWidth, kHeight);
    Paint(surface);
    EXPECT_FALSE(Near(surface.Pixel(400, 300), kCoral));
    EXPECT_EQ(0u, viewer->GetDecodeCount());

    WritePicture(L"later.png", 200, 100, kCoral);
    Paint(surface);
    EXPECT_TRUE(Near(surface.Pixel(400, 300), kCoral));
    for (int i = 0; i < 3; ++i) {
        Paint(surface);
        parent.Send(WM_MOUSEMOVE, 0, MAKELPARAM(400, 300));
    }
    EXPECT_EQ(1u, viewer->GetDecodeCount());

    // Replaced by a larger picture: shown at its new size.
    WritePicture(L"later.png", 400, 200, kTeal);
    Paint(surface);
    EXPECT_TRUE(Near(surface.Pixel(210, 300), kTeal));
    EXPECT_EQ(2u, viewer->GetDecodeCount());

    // Shown at its size, the opaque picture is drawn from its decoded pixels:
    // a viewer too small for it scales those into a ready copy, with no
    // decode, and lets them go once that copy is drawn.
    viewer->set_window_rect(0, 0, 300, 150);
    Paint(surface);
    Paint(surface);
    const RECT place = viewer->GetPictureRect();
    EXPECT_EQ(300, place.right - place.left);
    EXPECT_TRUE(Near(surface.Pixel((place.left + place.right) / 2, (place.top + place.bottom) / 2), kTeal));
    EXPECT_EQ(2u, viewer->GetDecodeCount());
    EXPECT_FALSE(viewer->HoldsDecoded(path));
    // The next picture is decoded; the one it replaces leaves from its ready
    // copy rather than from a decode of its own.
    viewer->set_bk_image_local_path(WritePicture(L"next.png", 200, 100, kCoral));
    EXPECT_EQ(3u, viewer->GetDecodeCount());
}

// Another program held the file, unshared, while the viewer first looked:
// the file is unchanged afterwards, and the spinner's repaints must still
// find the picture rather than turn at 100% for good.
TEST_F(ViewerTest, APictureThatCouldNotBeReadForAMomentIsReadAgain)
{
    const std::wstring path = WritePicture(L"held.png", 200, 100, kCoral);
    Surface surface(kWidth, kHeight);
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Show(path);
    Paint(surface);
    const bool shownWhileHeld = Near(surface.Pixel(400, 300), kCoral);
    CloseHandle(held);
    EXPECT_FALSE(shownWhileHeld);
    bool shown = false;
    for (int i = 0; i < 40 && !shown; ++i) {
        Sleep(50);
        Paint(surface);
        shown = Near(surface.Pixel(400, 300), kCoral);
    }
    EXPECT_TRUE(shown);
}

// What the parent would repaint now; its bounding box, empty for nothing.
RECT PendingRepaint(HWND hwnd)
{
    RECT box{};
    GetUpdateRect(hwnd, &box, FALSE);
    return box;
}

// Waits for the swap's thread without dispatching anything, so the parent's
// update area keeps every step's repaint.
bool SwapEnded(const Rir_picture_ui& viewer)
{
    for (int i = 0; i < 500 && viewer.IsSwapRunning(); ++i)
        Sleep(10);
    return !viewer.IsSwapRunning();
}

TEST_F(ViewerTest, ASwapRepaintsOnlyTheBandThePicturesMoveIn)
{
    struct Case {
        const char* name;
        bool next;
        bool currentThere;
        RECT band;  // the parent's pending repaint once the swap ended
    };
    // Both pictures 200 x 100, centred: rows 250 to 350.
    const Case kCases[] = {
        {"next", true, true, RECT{0, 250, kWidth, 350}},
        {"previous", false, true, RECT{0, 250, kWidth, 350}},
        {"next picture still missing: the spinner shows, all repaints", true, false, RECT{0, 0, kWidth, kHeight}},
    };
    ShowWindow(parent.GetHWND(), SW_SHOWNOACTIVATE);
    Surface surface(kWidth, kHeight);
    int n = 0;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Show(WritePicture(L"before" + std::to_wstring(n) + L".png", 200, 100, kCoral));
        Paint(surface);
        const std::wstring after = folder.Path() + L"after" + std::to_wstring(n++) + L".png";
        if (c.currentThere)
            WritePicture(after.substr(folder.Path().size()), 200, 100, kTeal);
        viewer->set_bk_image_local_path(after);
        ValidateRect(parent.GetHWND(), nullptr);
        if (c.next)
            viewer->Summon_exchange_next_image();
        else
            viewer->Summon_exchange_previous_image();
        ASSERT_TRUE(SwapEnded(*viewer));
        EXPECT_TRUE(SameRect(c.band, PendingRepaint(parent.GetHWND())));
        // Settled where it is laid out, and drawn there.
        Paint(surface);
        if (c.currentThere) {
            EXPECT_TRUE(Near(surface.Pixel(400, 300), kTeal));
        }
    }
}

// Row y of the surface as one letter a pixel: p for the previous picture's
// colour, c for the current one's, s for the shade, ? for anything else.
std::string RowLetters(const Surface& surface, int y, COLORREF previous, COLORREF current)
{
    std::string letters;
    for (int x = 0; x < surface.Width(); ++x) {
        const UINT32 p = surface.Pixel(x, y);
        letters += Near(p, previous, 6) ? 'p' : Near(p, current, 6) ? 'c' : IsShade(p) ? 's' : '?';
    }
    return letters;
}

// Where letter runs in row: one unbroken run of `width` pixels, shorter
// only where an edge of the row cuts it, or none at all.
::testing::AssertionResult OneRun(const std::string& row, char letter, int width)
{
    const size_t first = row.find(letter);
    if (first == std::string::npos)
        return ::testing::AssertionSuccess();
    const size_t last = row.rfind(letter);
    const int length = int(last - first + 1);
    const bool cut = first == 0 || last == row.size() - 1;
    if (row.find_first_not_of(letter, first) <= last || (length != width && !cut) || length > width)
        return ::testing::AssertionFailure() << letter << " from " << first << " to " << last << " in " << row;
    return ::testing::AssertionSuccess();
}

// What a picture of colour at alpha shows over the shade (black, nearly).
COLORREF OverShade(COLORREF colour, BYTE alpha)
{
    const auto part = [alpha](int c) { return c * alpha / 255; };
    return RGB(part(GetRValue(colour)), part(GetGValue(colour)), part(GetBValue(colour)));
}

// Every frame of a swap over a known backdrop: each picture whole where it
// lies (cut only by the viewer's edges), the shade everywhere else and
// nothing left of what was under the viewer; settled, the new picture in
// the middle. An opaque picture at its own size is drawn from its decoded
// pixels, with no ready copy beside them; a translucent one through its
// ready copy, its decoded pixels let go.
TEST_F(ViewerTest, SwapFramesShowBothPicturesWholeOverTheShadeAndNothingStale)
{
    struct Case {
        const char* name;
        BYTE alpha;
        bool heldDecoded;  // once shown settled
    };
    const Case kCases[] = {
        {"opaque", 255, true},
        {"translucent", 128, false},
    };
    constexpr UINT32 kStale = 0xFFFF00FF;
    constexpr int kRow = 300;  // through both pictures: rows 250 to 350
    ShowWindow(parent.GetHWND(), SW_SHOWNOACTIVATE);
    Surface surface(kWidth, kHeight);
    int n = 0;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        NewViewer();
        viewer->SetBackdrop(RGB(34, 38, 46));
        const COLORREF previous = OverShade(kCoral, c.alpha);
        const COLORREF current = OverShade(kTeal, c.alpha);
        const std::wstring before = WritePicture(L"seen" + std::to_wstring(n) + L".png", 200, 100, kCoral, c.alpha);
        const std::wstring after = WritePicture(L"next" + std::to_wstring(n++) + L".png", 200, 100, kTeal, c.alpha);
        Show(before);
        Paint(surface);
        EXPECT_EQ(c.heldDecoded, viewer->HoldsDecoded(before));
        viewer->set_bk_image_local_path(after);
        viewer->Summon_exchange_next_image();
        int frames = 0;
        while (viewer->IsSwapRunning()) {
            surface.Clear(kStale);
            viewer->OnPaint(surface.Dc());
            ++frames;
            const std::string row = RowLetters(surface, kRow, previous, current);
            ASSERT_EQ(std::string::npos, row.find('?')) << "frame " << frames << ": " << row;
            ASSERT_TRUE(OneRun(row, 'p', 200)) << "frame " << frames;
            ASSERT_TRUE(OneRun(row, 'c', 200)) << "frame " << frames;
            ASSERT_EQ(0, CountIf(surface, RECT{0, 30, kWidth, kHeight}, [](UINT32 p) { return p == kStale; }))
                << "frame " << frames;
        }
        EXPECT_GT(frames, 0);
        surface.Clear(kStale);
        viewer->OnPaint(surface.Dc());
        const std::string settled = RowLetters(surface, kRow, previous, current);
        EXPECT_EQ(std::string(300, 's') + std::string(200, 'c') + std::string(300, 's'), settled);
        EXPECT_EQ(0, CountIf(surface, RECT{0, 30, kWidth, kHeight}, [](UINT32 p) { return p == kStale; }));
        EXPECT_EQ(c.heldDecoded, viewer->HoldsDecoded(after));
    }
}

TEST_F(ViewerTest, TheSpinnerTickRepaintsOnlyWhileThePictureIsMissing)
{
    ShowWindow(parent.GetHWND(), SW_SHOWNOACTIVATE);
    const std::wstring path = folder.Path() + L"ticks.png";
    Show(path);
    ValidateRect(parent.GetHWND(), nullptr);
    parent.Send(WM_TIMER, kViewerSpinnerTimer);
    EXPECT_TRUE(SameRect(RECT{0, 0, kWidth, kHeight}, PendingRepaint(parent.GetHWND()))) << "the spinner stood still";

    WritePicture(L"ticks.png", 200, 100, kCoral);
    Surface surface(kWidth, kHeight);
    Paint(surface);
    ValidateRect(parent.GetHWND(), nullptr);
    parent.Send(WM_TIMER, kViewerSpinnerTimer);
    EXPECT_TRUE(SameRect(RECT{}, PendingRepaint(parent.GetHWND()))) << "a picture on show was repainted";
}

// The start picture is decoded and scaled beside the window's making and
// taken at the first paint; left before any paint, none of it is drawn, and
// a viewer gone before its first paint waits for the making thread.
TEST_F(ViewerTest, StartPictureMadeAsideIsDrawnAtTheFirstPaintUnlessLeftBefore)
{
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring file(exe);
    file = file.substr(0, file.find_last_of(L'\\') + 1) + L"Qnv_resource\\default_picture.jpg";
    const std::unique_ptr<Gdiplus::Bitmap> decoded = LoadPictureFile(file);
    ASSERT_TRUE(decoded);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = int(double(decoded->GetHeight()) / decoded->GetWidth() * width);
    const std::unique_ptr<Gdiplus::Bitmap> expected = skinkit::ScaledPicture(*decoded, width, height);
    ASSERT_TRUE(expected);
    const int top = (kHeight - height) / 2;
    Gdiplus::Color colour;
    ASSERT_EQ(Gdiplus::Ok, expected->GetPixel(kWidth / 2, kHeight / 2 - top, &colour));
    const COLORREF centre = RGB(colour.GetR(), colour.GetG(), colour.GetB());
    ASSERT_FALSE(IsShade(colour.GetValue())) << "the start picture's centre must tell it from the shade";

    struct Case {
        const char* name;
        bool leftFirst;
    };
    const Case kCases[] = {{"painted while it shows", false}, {"left before the first paint", true}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        NewViewer();
        if (c.leftFirst)
            viewer->LeaveDefaultPicture();
        Surface surface(kWidth, kHeight);
        Paint(surface);
        const UINT32 pixel = surface.Pixel(kWidth / 2, kHeight / 2);
        if (c.leftFirst) {
            EXPECT_TRUE(IsShade(pixel));
        } else {
            EXPECT_TRUE(Near(pixel, centre));
        }
    }
    NewViewer();
    viewer.reset();
}

TEST_F(ViewerTest, DestroyingTheViewerEndsItsAnimationThreads)
{
    const std::wstring path = WritePicture(L"threads.png", 200, 100, kCoral);
    NewViewer();  // the first viewer's lazily started system threads stay
    viewer.reset();
    const int before = ThreadCount();
    NewViewer();
    viewer->set_bk_image_local_path(path);
    viewer->always_show_loading();
    viewer->show_slid_down();
    viewer->show_slid_up_2();
    viewer->Summon_exchange_next_image();
    EXPECT_GT(ThreadCount(), before);
    viewer.reset();
    EXPECT_TRUE(PumpUntil([&] { return ThreadCount() <= before; }, 3000)) << ThreadCount() << " > " << before;
}

TEST(MessengerTest, PercentageSurvivesAWriterThreadWhileBeingRead)
{
    __ostrel_messenger messenger;
    // Longer than any short-string buffer, so the text lives on the heap.
    const std::wstring shortText(40, L'7');
    const std::wstring longText(300, L'9');
    std::atomic<bool> stop{false};
    std::atomic<int> writes{0};
    std::thread writer([&] {
        for (int i = 0; !stop.load(); ++i) {
            messenger.set_download_percent(i % 2 ? shortText : longText);
            writes.fetch_add(1);
        }
    });
    // Reads without pause for as long as the writer takes to write a million
    // times (bounded by a deadline).
    int torn = 0;
    int reads = 0;
    const DWORD start = GetTickCount();
    while (writes.load() < 1000000 && GetTickCount() - start < 20000) {
        const std::wstring seen = messenger.get_download_percent();
        torn += seen.empty() || seen == shortText || seen == longText ? 0 : 1;
        ++reads;
    }
    stop.store(true);
    writer.join();
    EXPECT_GE(writes.load(), 1000000);
    EXPECT_EQ(0, torn) << "of " << reads << " reads";

    messenger.set_ponit_val(529);
    const __ostrel_messenger copy(messenger);
    EXPECT_EQ(529, copy.get_point_y());
    EXPECT_EQ(messenger.get_download_percent(), copy.get_download_percent());
}

}  // namespace
