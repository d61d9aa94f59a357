#include "skinkit/messenger.h"

__ostrel_messenger::__ostrel_messenger(const __ostrel_messenger& other)
    : m_percent(other.get_download_percent())
    , m_pointY(other.get_point_y())
{
}

__ostrel_messenger& __ostrel_messenger::operator=(const __ostrel_messenger& other)
{
    if (this == &other)
        return *this;
    set_download_percent(other.get_download_percent());
    m_pointY.store(other.get_point_y());
    return *this;
}

__ostrel_messenger::~__ostrel_messenger()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_percent.clear();
}

void __ostrel_messenger::set_download_percent(std::wstring percent)
{
    // Swapped in under the lock; the old text is freed after it is released.
    std::lock_guard<std::mutex> guard(m_lock);
    m_percent.swap(percent);
}

std::wstring __ostrel_messenger::get_download_percent() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_percent;
}
