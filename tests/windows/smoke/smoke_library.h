#pragma once
#include <string>

#ifdef QUARN_SMOKE_LIBRARY_BUILD
#define QUARN_SMOKE_API __declspec(dllexport)
#else
#define QUARN_SMOKE_API __declspec(dllimport)
#endif

// A C++ class with virtual operations exported from a DLL and derived from in
// the program, the way the client derives its windows from the control
// library's base class.
class QUARN_SMOKE_API CSmokeShape {
public:
    CSmokeShape(int width, int height);
    virtual ~CSmokeShape();
    virtual int Area() const;
    virtual std::wstring Name() const;

    // Calls the virtual operations from inside the DLL.
    std::wstring Describe() const;
    // The DLL's own count of live shapes, to see construction and destruction
    // cross the module boundary.
    static int LiveCount();

protected:
    int width_;
    int height_;
};
