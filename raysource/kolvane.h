// The ray-source library: reads a source model, moves it and draws random rays from it.
// Every function returns 0 for success. Three entry points keep plain (unmangled) names,
// the others keep the C++ names that encode their argument types; callers bind to both.
#pragma once

#include <cstdint>

#if defined(KOLVANE_BUILDING)
#define KOLVANE_API __attribute__((visibility("default")))
#else
#define KOLVANE_API
#endif

// One ray drawn from a source: seven values that the caller copies out in this order.
struct kvRay {
    double value[7];
};

extern "C" {
KOLVANE_API int kvCalcTotalFlux(std::int32_t what);
KOLVANE_API int kvDeleteSource(void);
KOLVANE_API int kvReadSourceData(const char* file_name, double value);
}

KOLVANE_API int kvGetRandomRay(kvRay* ray, int* status);
KOLVANE_API int kvPrepareRayGeneration(double* value, int count, double a, double b, double c,
                                       double d);
KOLVANE_API int kvRotate(double a, double b, double c);
KOLVANE_API int kvScale(double a, double b, double c);
KOLVANE_API int kvSourceClose(void);
KOLVANE_API int kvSourceOpen(const char* name);
KOLVANE_API int kvTranslate(double a, double b, double c);
