// The choices behind the surface sheet's option buttons. Each button runs its option command
// ("CURVOPT", "THKOPT", "APEROPT", "GLASSOPT" and the object- and image-surface forms), whose one
// parameter offers a list built here for the current surface, with the entry of the surface's
// present state as its default; the chosen value (a choice code) comes to
// cmd_sheet_cell_action, which makes the change, mostly by running a lens-entry command line.
#pragma once

#include "tables/table_names.h"

// The choice parameters of the option commands and the lists their handlers pick between (one
// for a lens of one configuration, one for several).
inline constexpr int kParamApertureChoice = 198;
inline constexpr int kParamCurvatureChoice = 286;
inline constexpr int kParamMediumChoice = 490;
inline constexpr int kParamImageCurvatureChoice = 553;
inline constexpr int kParamImageThicknessChoice = 556;
inline constexpr int kParamObjectCurvatureChoice = 826;
inline constexpr int kParamObjectMediumChoice = 829;
inline constexpr int kParamOtherThicknessChoice = 832;
inline constexpr int kParamThicknessChoice = 1190;
inline constexpr int kParamSourceSurface = 942;
inline constexpr int kParamModelGlassName = 761;
inline constexpr int kParamModelIndex = 759;
inline constexpr int kParamAbbeNumber = 763;
inline constexpr int kParamSecondIndex = 764;

// The choice codes that the handler acts on (the values of the lists' entries).
inline constexpr int kChoiceVariable = 20;
inline constexpr int kChoiceVariableSheet = 21;
inline constexpr int kChoiceVariableConfiguration = 22;

// The list handlers (slots 36, 37, 41, 43, 44, 48, 49, 50, 51, 59). Each returns 0.
int cmd_aperture_choices();
int cmd_curvature_choices();
int cmd_object_curvature_choices();
int cmd_image_curvature_choices();
int cmd_thickness_choices();
int cmd_image_thickness_choices();
int cmd_other_thickness_choices();
int cmd_object_distance_choices();
int cmd_medium_choices();
int cmd_object_medium_choices();

// Handler kSlotSheetCellAction: the choice (argument 0, an integer) of the running option
// command on the current surface. 0, a message number, or -9998 with the text in the error
// buffer; a failing command line's result comes back unchanged.
int cmd_sheet_cell_action();

// The choice routines, for surface s and choice c.
int aperture_choice(int s, int c);
int curvature_choice(int s, int c);
int thickness_choice(int s, int c);
int glass_choice(int s, int c);

// Deletes the glass variables of surface s (at most two) with "Add_variable_in_spreadsheet n
// del". 0 or the first failure.
int delete_glass_variables(int s);

// Runs a command line of the sheet's choices: mode 0, Output on switched for it, command
// context 'L' pushed unless it is on top.
int run_choice_line(const char* line);

// Puts the list handlers and the cell-action handler into their slots.
void install_sheet_options();
