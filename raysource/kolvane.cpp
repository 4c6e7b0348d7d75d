#include "raysource/kolvane.h"

// No source model is built into this library: every entry succeeds without touching its
// arguments, so a model can be put behind the same entries later without changing callers.
namespace {
int no_source_model() {
    return 0;
}
}  // namespace

extern "C" {
int kvCalcTotalFlux(std::int32_t) {
    return 0;
}
int kvDeleteSource(void) {
    return no_source_model();
}
int kvReadSourceData(const char*, double) {
    return 0;
}
}

int kvGetRandomRay(kvRay*, int*) {
    return no_source_model();
}
int kvPrepareRayGeneration(double*, int, double, double, double, double) {
    return no_source_model();
}
int kvRotate(double, double, double) {
    return no_source_model();
}
int kvScale(double, double, double) {
    return no_source_model();
}
int kvSourceClose(void) {
    return no_source_model();
}
int kvSourceOpen(const char*) {
    return no_source_model();
}
int kvTranslate(double, double, double) {
    return no_source_model();
}
