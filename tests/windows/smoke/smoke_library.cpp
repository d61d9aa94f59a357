#include "smoke_library.h"

#include <atomic>

namespace {
std::atomic<int> live_shapes{0};
}

CSmokeShape::CSmokeShape(int width, int height)
    : width_(width)
    , height_(height)
{
    ++live_shapes;
}

CSmokeShape::~CSmokeShape() { --live_shapes; }

int CSmokeShape::Area() const { return width_ * height_; }

std::wstring CSmokeShape::Name() const { return L"shape"; }

std::wstring CSmokeShape::Describe() const { return Name() + L":" + std::to_wstring(Area()); }

int CSmokeShape::LiveCount() { return live_shapes.load(); }
