#pragma once
#include <cstdint>

// The one way the service core reports to the user interface. On Windows it
// wraps SendMessageW / PostMessageW to a window; in native tests it records.
// Send waits for the handler, so pointers passed through it live for the call
// only. Post returns at once, so whatever it carries must be owned data.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual std::intptr_t Send(unsigned message, std::uintptr_t a, std::intptr_t b) = 0;
    virtual bool Post(unsigned message, std::uintptr_t a, std::intptr_t b) = 0;
    // Asks the window to repaint; the parser calls it after each stored item.
    virtual void Invalidate() = 0;
};
