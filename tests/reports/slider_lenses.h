// The Cooke triplet both slider-design test programs type: crown N-SK16, catalogue flint N-F2,
// the image on a paraxial height solve, three wavelengths.
#pragma once

#include <string>
#include <vector>

namespace slider_test {

inline const std::vector<std::string> kCatalogueTriplet = {"LEN NEW \"Cooke\"",
                                                           "WV 0.58756 0.48613 0.65627",
                                                           "EBR 10",
                                                           "ANG 20",
                                                           "NXT",
                                                           "SRF 21.48 2 N-SK16 10",
                                                           "SRF -124.1 5.26 AIR 10",
                                                           "AST",
                                                           "SRF -19.1 1.25 N-F2 8",
                                                           "RD 22",
                                                           "TH 4.69",
                                                           "AIR",
                                                           "NXT",
                                                           "SRF 328.9 2.25 N-SK16 10",
                                                           "RD -16.7",
                                                           "TH 43",
                                                           "PY 0",
                                                           "AIR",
                                                           "NXT",
                                                           "END"};

}  // namespace slider_test
