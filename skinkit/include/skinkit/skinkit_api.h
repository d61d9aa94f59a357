#pragma once

// Export macro for the classes of skinkit.dll.
#if defined(SKINKIT_BUILD)
#define SKINKIT_API __declspec(dllexport)
#else
#define SKINKIT_API __declspec(dllimport)
#endif
