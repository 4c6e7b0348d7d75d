// The optical quantities the shipped operand entry puts into the operand result slots: first
// order, the Seidel and chromatic sums as the paraxial listings print them, rms spot radius and
// rms wavefront at three field points, and the real-ray distortion at full field.
#pragma once

#include <string>

// The slots filled (the others are left as they are).
enum OperandQuantitySlot : int {
    kQuantityFocalLength = 1,
    kQuantityBackFocus = 2,
    kQuantityFNumber = 3,
    kQuantityImageHeight = 4,
    kQuantitySeidelFirst = 5,  // SI .. SV in 5 .. 9
    kQuantityAxialColour = 10,
    kQuantityLateralColour = 11,
    kQuantitySpotFirst = 12,       // rms spot radius at field 0, 0.7, 1 in 12 .. 14
    kQuantityWavefrontFirst = 15,  // rms wavefront in waves at the same fields, 15 .. 17
    kQuantityDistortion = 18,
    kQuantityLastSlot = 18,
};

inline constexpr int kQuantityFields = 3;
inline constexpr double kQuantityField[kQuantityFields] = {0.0, 0.7, 1.0};

// Computes every quantity into slots (indexed by slot number, at least 19 entries); what cannot
// be computed is NaN. The stored object point is kept.
void fill_operand_quantities(double* slots);

// The quantities by name, as the lists table holds them (list operand_quantities, in slot
// order): the word an operand refers to ("OP1") and what it is ("focal length"). False past
// the last one.
bool operand_quantity_name(int i, std::string* word, std::string* name);

// The built-in oprd_quantities: fills the operand result array.
int cmd_oprd_quantities();
