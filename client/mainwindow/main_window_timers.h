#pragma once
// Every timer that runs on the main window, by its owner. A WM_TIMER reaches
// each owner, and an owner steps on its own ids only: two owners sharing an
// id would both step on one tick.
#include "category_bar.h"
#include "comment_wnd.h"
#include "picture_strip.h"
#include "pictures_ahead.h"
#include "skinkit/button.h"
#include "skinkit/picture_viewer.h"
#include "skinkit/rich_edit.h"
#include "skinkit/scroll_bar.h"
#include "tray_icon.h"

#include <cstddef>

// The main window's own: the end of the wait for the start's first picture.
constexpr UINT_PTR kStartPictureTimer = 1041;

namespace main_window_timers {

constexpr UINT_PTR kAll[] = {
    kViewerSpinnerTimer, kViewerOpeningTimer,  // the viewer
    kStripZoomTimer, kStripTrackTimer, kStripScrollTimer,  // the picture strip
    CategoryBar::kFadeTimer,  // the category buttons
    kCommentNoticeTimer, kCommentGrowTimer,  // the comment view
    kScrollPageDownTimer, kScrollPageUpTimer,  // the comment list's scroll bar
    kButtonTipTimer,  // the buttons' tips: one shown at a time
    kEditCaretTimer, kEditScrollUpTimer, kEditScrollDownTimer,  // the search field
    kTrayRetryTimer,  // the tray icon's tries while the notification area is missing
    kPicturesAheadTimer,  // the main window's look before the neighbours are fetched
    kStartPictureTimer,  // the main window's wait for the first picture at start
};

constexpr bool AllDistinct()
{
    constexpr std::size_t count = sizeof(kAll) / sizeof(kAll[0]);
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
            if (kAll[i] == kAll[j])
                return false;
        }
    }
    return true;
}
static_assert(AllDistinct(), "two owners share a timer id on the main window");

}  // namespace main_window_timers
