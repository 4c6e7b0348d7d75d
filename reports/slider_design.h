// The slider design window: one parameter on each of two surfaces, A and B, changed with two
// sliders of the control window, the lens redrawn in graphics window 7 and one analysis in
// window 8 on every move. A sheet on its own command level chooses the parameters, their ranges
// and the analysis; accepting it opens the windows. Every drawing is an ordinary command line
// run through run_command_string, as a typed line would draw it.
#pragma once

#include <cstdint>

#include "runtime/command_levels.h"

// What a slider changes on its surface.
enum SliderKind : int {
    kSliderCurvature = 0,
    kSliderThickness = 1,
    kSliderIndex = 2,     // the first defining index of the surface's model glass
    kSliderTilt = 3,      // meridional tilt (TLA) of the decentre record
    kSliderDecentre = 4,  // meridional decentre (DCY) of the decentre record
};
inline constexpr int kSliderKinds = 5;

// What window 8 shows.
enum SliderAnalysis : int {
    kSliderAnalysisFans = 10,          // "plr wvt yx 0.0 0.0 11"
    kSliderAnalysisAstigmatism = 11,   // "plf"
    kSliderAnalysisSpot = 12,          // "spd chr 10.0" then "pls"
    kSliderAnalysisOpd = 13,           // "plo wvt 0.0 0.0 11"
    kSliderAnalysisLongitudinal = 14,  // "pla wvt"
    kSliderAnalysisNone = 15,
};

inline constexpr int kSliderIdA = 101;
inline constexpr int kSliderIdB = 102;
inline constexpr int kSliderLensWindow = 7;
inline constexpr int kSliderAnalysisWindow = 8;

// The window's settings, kept for the life of the program (a new lens keeps them; they are
// checked against the lens whenever they are used).
struct SliderDesignState {
    double value_b = 0;
    double value_a = 0;
    int kind_a = kSliderCurvature;
    int kind_b = kSliderCurvature;
    int surface_a = 0;
    int surface_b = 0;
    double half_range_a = 0;  // 0: no slider for A
    double half_range_b = 0;
    double field_fraction = 0;
    std::uint8_t one_field = 0;        // 0 three fields, 1 the field fraction alone
    std::uint8_t special_surface = 0;  // a tilt or decentre in the lens: fields 1, 0, -1
    double analysis_scale = 0;         // 0 automatic
    double remembered_scale = 0;       // window 8's scale between moves
    int analysis_kind = kSliderAnalysisNone;
    std::uint8_t slider_flag = 1;  // slider_create's live argument
    std::uint8_t available[kSliderKinds] = {};
};
SliderDesignState& slider_design_state();

// Handler kSlotOpenSliderDesign: the sheet on a new command level.
int cmd_open_slider_design();
// The sheet's level handler.
int slider_design_event(GridEvent& event);
// Writes the sheet into the current output.
void slider_design_sheet();
// The five kind choices of side 0 (A) or 1 (B).
void slider_kind_choices(int side);
// Which kinds some surface of the lens allows.
void slider_kind_availability();

// The refusal of kind on surface n (a surface outside the lens or one that does not allow the
// kind) with the number its message shows, or 0.
int slider_refusal(int kind, int n, int* argument);
// Whether surface n allows kind, as the choice and the surface cells check it: a curvature fixed
// by its group's radius form is freed first. 0, or the refusal in the error text (-9998).
int slider_check_surface(int kind, int n);
// The value a kind reads on surface n (0 for a tilt or decentre without a decentre record).
double slider_lens_value(int kind, int n);
// Writes value as kind into surface n without bringing the lens up to date: 0 or -10.
int slider_write_value(int kind, int n, double value);

// Opens windows 7 and 8 and the sliders and draws both: 0 or a message number.
int open_slider_windows();
// Writes both values into the lens and brings it up to date: 0, -10 or -9998.
int apply_slider_values();
// The routine of both sliders: the moved side written, the lens and the analysis drawn again.
int slider_redraw(int index, int id, double value);
// Window 8's analysis; first: its scale is the one the first panel finds.
int run_slider_analysis(int first);

void reset_slider_design();
