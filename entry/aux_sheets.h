// The sheets the surface sheet's header buttons open beside it, by button number: 0 the lens
// drawing conditions, 3 the optimisation parameters, 4 the spot-diagram and diffraction
// settings, 6 the system data, 7 the lens notes. The subsystems that own them install their
// openers here (app/ does it); a button whose opener is not installed is refused.
#pragma once

inline constexpr int kAuxSheetDrawingConditions = 0;
inline constexpr int kAuxSheetOptimiseParams = 3;
inline constexpr int kAuxSheetSpotSettings = 4;
inline constexpr int kAuxSheetSystemData = 6;
inline constexpr int kAuxSheetLensNotes = 7;

using AuxSheetOpener = int (*)();
// Installs the opener of button b (one of the five above); null takes it away.
void set_aux_sheet_procedure(int b, AuxSheetOpener opener);
