#include "runtime/lens_data_guard.h"

namespace {
LensDataQuery lens_data_query = nullptr;
}

void set_lens_data_query(LensDataQuery query) {
    lens_data_query = query;
}

bool reading_lens_data() {
    return lens_data_query != nullptr && lens_data_query();
}

int refuse_while_reading_lens_data() {
    return reading_lens_data() ? kMsgNotWhileReadingLensData : 0;
}
