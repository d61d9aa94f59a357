// GoogleTest entry for the skinkit tests: GDI+ and OLE live for the run.
#include <gtest/gtest.h>

#include <windows.h>
#include <gdiplus.h>
#include <objbase.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    OleInitialize(nullptr);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return 2;
    const int result = RUN_ALL_TESTS();
    Gdiplus::GdiplusShutdown(token);
    OleUninitialize();
    return result;
}
