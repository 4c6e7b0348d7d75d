// Completing the per-wavelength coefficients of a gradient-index medium that were given only at
// the first wavelengths, after the wavelengths or the medium changed.
#pragma once

// Fills the missing values (below 1e-40 in size) of surface n's coefficient rows that its kind
// uses: with two wavelengths from the first value; with three or more from the first value when
// wavelengths 2 and 3 give no dispersion, else from c = B + A / lambda^2 through the values at
// wavelengths 2 and 3. Nothing without a record, with fewer than two wavelengths, or for kinds
// 7, 11 and 12.
void prepare_grin_record(int n);
// The same for every surface 1 .. image - 1 that has a gradient-index record.
void prepare_grin_records();
