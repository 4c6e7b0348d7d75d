// The first-order data of the lens at the current wavelength as a text listing: aperture, field,
// conjugates with the principal planes, lengths, pupils, Lagrange invariant, Petzval radius and
// focal length, every value behind its label and recorded as a printed number.
#pragma once

// 0, or the failure of the conjugates solve (nothing is printed then).
int cmd_first_order_listing();
