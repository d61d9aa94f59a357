#pragma once
// Timing shared by the paint benchmarks: the median of repeated frames, so a
// noisy machine moves the figure less than a mean would.
#include <windows.h>

#include <algorithm>
#include <vector>

inline double NowMs()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Median milliseconds of one call of frame over `frames` runs, after one
// warm-up call (caches, lazily loaded fonts).
template <class Frame> double MedianMs(int frames, Frame frame)
{
    std::vector<double> times;
    frame();
    for (int i = 0; i < frames; ++i) {
        const double start = NowMs();
        frame();
        GdiFlush();
        times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
