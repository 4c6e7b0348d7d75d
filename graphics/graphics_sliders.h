// Sliders of the control window (window 6): up to nine, each a caption, a horizontal bar and the
// value as text. Moving one calls its routine with the new value; what the routine draws in
// graphics windows is collected and each window is repainted once per step.
#pragma once

#include <string>

#include "platform/ui.h"
#include "tables/table_names.h"

inline constexpr int kSliderCount = 9;

using SliderRoutine = int (*)(int index, int id, double value);

struct Slider {
    int id = 0;  // 0: free
    int position = 0;
    int live = 0;
    double scale = 1;
    int range = 0;
    int page_step = 1;
    int decimals = 0;
    int offset = 0;
    std::string caption;
    SliderRoutine routine = nullptr;
};

// The index 0..8, or -110 when all nine are in use.
int slider_create(int fixed_scale, int live, int id, const char* caption, SliderRoutine routine,
                  double minimum, double maximum, double value);
int slider_set_range(int id, int fixed_scale, double minimum, double maximum, double value);
int slider_get_value(int id, double* value);
const Slider& slider(int index);
// The value as the slider shows it.
std::string slider_value_text(int index);
// Stacks the sliders in the control window and shows it; the set is finished: the next slider
// made starts a new set.
void slider_layout();
// Stacks and shows the sliders made so far, leaving the set open for more.
void sliders_show();
void sliders_hide();
void sliders_remove();
// Scroll codes: 0 line left, 1 line right, 2 page left, 3 page right, 4 thumb released at
// thumb, 5 thumb dragged to thumb.
void slider_scroll(int index, int code, int thumb);

// The control window's picture of the sliders, and where on it a slider's bar lies.
platform::Rect slider_bar_rect(int index, int client_width);

void reset_sliders();
