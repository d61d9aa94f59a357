#include "picture_made_aside.h"

#include <process.h>

#include <utility>

namespace skinkit {

CPictureMadeAside::~CPictureMadeAside()
{
    if (m_thread)
        WaitForSingleObject(m_thread.Get(), INFINITE);
}

unsigned __stdcall CPictureMadeAside::Run(void* slot)
{
    const std::unique_ptr<std::shared_ptr<Slot>> owned(static_cast<std::shared_ptr<Slot>*>(slot));
    Slot& made = **owned;
    made.picture = made.make();
    return 0;
}

void CPictureMadeAside::Start(Make make)
{
    Drop();
    if (m_thread)
        WaitForSingleObject(m_thread.Get(), INFINITE);
    m_thread.Reset();
    m_slot = std::make_shared<Slot>();
    m_slot->make = std::move(make);
    auto* shared = new std::shared_ptr<Slot>(m_slot);
    const uintptr_t thread = _beginthreadex(nullptr, 0, &Run, shared, 0, nullptr);
    if (thread) {
        m_thread.Reset(reinterpret_cast<HANDLE>(thread));
        return;
    }
    delete shared;
    m_slot->picture = m_slot->make();
}

std::unique_ptr<Gdiplus::Bitmap> CPictureMadeAside::Take()
{
    if (!m_slot)
        return nullptr;
    if (m_thread)
        WaitForSingleObject(m_thread.Get(), INFINITE);
    m_thread.Reset();
    std::unique_ptr<Gdiplus::Bitmap> picture = std::move(m_slot->picture);
    m_slot.reset();
    return picture;
}

void CPictureMadeAside::Drop() { m_slot.reset(); }

}  // namespace skinkit
