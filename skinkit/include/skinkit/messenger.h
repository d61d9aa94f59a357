#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "skinkit/skinkit_api.h"

// Carries two values from the client's download code to the picture viewer:
// the download percentage text and the lowest y the picture may reach. The
// download thread writes the percentage while the UI thread paints it, so
// the string is only touched under a lock.
class SKINKIT_API __ostrel_messenger {
public:
    __ostrel_messenger() = default;
    __ostrel_messenger(const __ostrel_messenger& other);
    __ostrel_messenger& operator=(const __ostrel_messenger& other);
    ~__ostrel_messenger();

    void set_download_percent(std::wstring percent);
    std::wstring get_download_percent() const;
    void set_ponit_val(int y) { m_pointY.store(y); }
    int get_point_y() const { return m_pointY.load(); }

private:
    mutable std::mutex m_lock;
    std::wstring m_percent;
    std::atomic<int> m_pointY{0};
};
