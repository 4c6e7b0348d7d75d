// The one list of lens items: the numbers by which the command language and user libraries
// reach the data of the current lens. Each row gives an item's number, its name in the code
// and, for a plain field, the field; the comment gives its name in the command language
// (tables/definitions/lens_items.def). The numbers are a table and library format: they are
// written out here, never derived from the order of the rows.
//
// Everything that dispatches on these numbers is made from this list, so that the enum, the
// shapes, the address hook and the start-up bindings cannot drift apart. An includer defines
// the row macros it needs and includes this file; rows of undefined macros expand to nothing,
// and every row macro is undefined again at the end (so there is no include guard).
//
//   ITEM_LENS_FIELD(number, name, field)          a LensData field, bound to its built-in
//                                                 variable at start-up (no lens-item shape)
//   ITEM_SPECIAL(number, name, shape)             lens-wide data with code of its own
//   ITEM_SURFACE_FIELD(number, name, field)       a SurfaceRecord field of surface i
//   ITEM_SURFACE_WORD(number, name, field)        a 16-bit SurfaceRecord field of surface i,
//                                                 widened into a read-only int cell
//   ITEM_SURFACE_RECORD(number, name, record, field)
//                                                 a field of a record surface i points to;
//                                                 null while the surface has no such record
//   ITEM_SURFACE_SPECIAL(number, name, shape)     surface data with code of its own
//   ITEM_LENS_RECORD(number, name, record, field) a field of a per-lens record of LensData
//   ITEM_RAY_SET(number, name, field)             a field of drawing ray set i
//
// The shape of a plain field follows from the field's type; special rows give theirs, named in
// lens_items.cpp.

#ifndef ITEM_LENS_FIELD
#define ITEM_LENS_FIELD(number, name, field)
#endif
#ifndef ITEM_SPECIAL
#define ITEM_SPECIAL(number, name, shape)
#endif
#ifndef ITEM_SURFACE_FIELD
#define ITEM_SURFACE_FIELD(number, name, field)
#endif
#ifndef ITEM_SURFACE_WORD
#define ITEM_SURFACE_WORD(number, name, field)
#endif
#ifndef ITEM_SURFACE_RECORD
#define ITEM_SURFACE_RECORD(number, name, record, field)
#endif
#ifndef ITEM_SURFACE_SPECIAL
#define ITEM_SURFACE_SPECIAL(number, name, shape)
#endif
#ifndef ITEM_LENS_RECORD
#define ITEM_LENS_RECORD(number, name, record, field)
#endif
#ifndef ITEM_RAY_SET
#define ITEM_RAY_SET(number, name, field)
#endif

// clang-format off

// The six scratch arrays of the command language.
ITEM_SPECIAL(47, kItemArray1, kScratchShape)  // array1
ITEM_SPECIAL(48, kItemArray2, kScratchShape)  // array2
ITEM_SPECIAL(49, kItemArray3, kScratchShape)  // array3
ITEM_SPECIAL(50, kItemArray4, kScratchShape)  // array4
ITEM_SPECIAL(51, kItemArray5, kScratchShape)  // array5
ITEM_SPECIAL(52, kItemArray6, kScratchShape)  // array6

// Lens-wide fields. Two numbers each reach the image surface and the CBK word.
ITEM_LENS_FIELD(89, kItemImageSurface, image_surface)
ITEM_LENS_FIELD(90, kItemUnits, units)
ITEM_LENS_FIELD(91, kItemObjectHeight, object_height)
ITEM_LENS_FIELD(92, kItemFieldAngle, field_angle)
ITEM_LENS_FIELD(93, kItemTemperature, temperature)
ITEM_LENS_FIELD(94, kItemPressure, pressure)
ITEM_LENS_FIELD(95, kItemEntranceBeamRadius, entrance_beam_radius)
ITEM_LENS_FIELD(96, kItemObjectNa, object_na)
ITEM_LENS_FIELD(97, kItemSasd, sasd)
ITEM_LENS_FIELD(98, kItemTestWavelength, test_wavelength)
ITEM_LENS_FIELD(99, kItemImageSurfaceAlias, image_surface)
ITEM_LENS_FIELD(100, kItemApertureStop, aperture_stop)
ITEM_LENS_FIELD(101, kItemReferenceSurface, reference_surface)
ITEM_LENS_FIELD(102, kItemWavelengthCount, wavelength_count)
ITEM_LENS_FIELD(104, kItemAfocalMode, afocal_mode)
ITEM_LENS_FIELD(105, kItemAfocal, afocal)
ITEM_LENS_FIELD(106, kItemPlaneSymmetric, plane_symmetric)
ITEM_LENS_FIELD(107, kItemRotationallySymmetric, rotationally_symmetric)
ITEM_LENS_FIELD(108, kItemGlobalCoordinateSurface, global_coordinate_surface)
ITEM_LENS_FIELD(109, kItemTxyc, txyc)
ITEM_LENS_FIELD(110, kItemToleranceAngleUnits, tolerance_angle_units)

// The wavelength table, counted from 1.
ITEM_SPECIAL(112, kItemWavelength, kWavelengthShape)  // wavelength
ITEM_SPECIAL(113, kItemWeight, kWavelengthShape)      // weight

// Surface data: the surface is the first index.
ITEM_SURFACE_SPECIAL(111, kItemTiltMode, kSurfaceIntShape)     // dt: while the tilt order is plain
ITEM_SURFACE_FIELD(114, kItemCurvature, curvature)             // cv
ITEM_SURFACE_SPECIAL(115, kItemRadius, kSurfaceDoubleShape)    // rd: from the curvature
ITEM_SURFACE_FIELD(116, kItemThickness, thickness)             // th
ITEM_SURFACE_FIELD(117, kItemApertureRadius, aperture_radius)  // ap
ITEM_SURFACE_FIELD(118, kItemMediumTce, medium_tce)            // tce
ITEM_SURFACE_FIELD(119, kItemConic, conic)                     // cc
ITEM_SURFACE_FIELD(120, kItemXCurvature, x_curvature)          // cvx
ITEM_SURFACE_SPECIAL(121, kItemXRadius, kSurfaceDoubleShape)   // rdx: from the x curvature
// The decentre record while its tilt order is plain.
ITEM_SURFACE_SPECIAL(122, kItemDecentreX, kSurfaceDoubleShape)   // dcx
ITEM_SURFACE_SPECIAL(123, kItemDecentreY, kSurfaceDoubleShape)   // dcy
ITEM_SURFACE_SPECIAL(124, kItemDecentreZ, kSurfaceDoubleShape)   // dcz
ITEM_SURFACE_SPECIAL(125, kItemTiltA, kSurfaceDoubleShape)       // tla
ITEM_SURFACE_SPECIAL(126, kItemTiltB, kSurfaceDoubleShape)       // tlb
ITEM_SURFACE_SPECIAL(127, kItemTiltC, kSurfaceDoubleShape)       // tlc
ITEM_SURFACE_SPECIAL(128, kItemReturnSurface, kSurfaceIntShape)  // rco: the return record's surface
ITEM_SURFACE_FIELD(129, kItemBend, bend)                         // ben
ITEM_SURFACE_FIELD(130, kItemDrawingMode, drawing_mode)          // drw
ITEM_SURFACE_SPECIAL(131, kItemIndex, kSurfaceWavelengthShape)   // index
ITEM_SURFACE_SPECIAL(132, kItemWorkingIndex, kSurfaceWavelengthShape)  // working_index
// The entered even-asphere terms of orders 4, 6, 8 and 10.
ITEM_SURFACE_SPECIAL(133, kItemAsphereAd, kSurfaceDoubleShape)     // ad
ITEM_SURFACE_SPECIAL(134, kItemAsphereAe, kSurfaceDoubleShape)     // ae
ITEM_SURFACE_SPECIAL(135, kItemAsphereAf, kSurfaceDoubleShape)     // af
ITEM_SURFACE_SPECIAL(136, kItemAsphereAg, kSurfaceDoubleShape)     // ag
ITEM_SURFACE_FIELD(137, kItemFresnelCurvature, fresnel_curvature)  // fcv
ITEM_SURFACE_FIELD(138, kItemFresnelConic, fresnel_conic)          // fcc
ITEM_SURFACE_RECORD(139, kItemGrinStep, grin, step)                // dth
// The gradient-index coefficient rows at a wavelength, for the kinds that hold them.
ITEM_SURFACE_SPECIAL(140, kItemGrinNr1, kSurfaceWavelengthShape)  // nr1
ITEM_SURFACE_SPECIAL(141, kItemGrinNr2, kSurfaceWavelengthShape)  // nr2
ITEM_SURFACE_SPECIAL(142, kItemGrinNr3, kSurfaceWavelengthShape)  // nr3
ITEM_SURFACE_SPECIAL(143, kItemGrinNr4, kSurfaceWavelengthShape)  // nr4
ITEM_SURFACE_SPECIAL(144, kItemGrinNz1, kSurfaceWavelengthShape)  // nz1
ITEM_SURFACE_SPECIAL(145, kItemGrinNz2, kSurfaceWavelengthShape)  // nz2
ITEM_SURFACE_SPECIAL(146, kItemGrinNz3, kSurfaceWavelengthShape)  // nz3
ITEM_SURFACE_SPECIAL(147, kItemGrinNz4, kSurfaceWavelengthShape)  // nz4
// The values of the "GRD" gradient kind only.
ITEM_SURFACE_SPECIAL(148, kItemGrinGwv, kSurfaceDoubleShape)  // gwv
ITEM_SURFACE_SPECIAL(149, kItemGrinGmz, kSurfaceDoubleShape)  // gmz
ITEM_SURFACE_SPECIAL(150, kItemGrinGoz, kSurfaceDoubleShape)  // goz
ITEM_SURFACE_SPECIAL(151, kItemGrinGra, kGrinGroupShape)      // gra
ITEM_SURFACE_SPECIAL(152, kItemGrinGrb, kGrinGroupShape)      // grb
ITEM_SURFACE_SPECIAL(153, kItemGrinGrc, kGrinGroupShape)      // grc
ITEM_SURFACE_SPECIAL(154, kItemGrinGrd, kGrinGroupShape)      // grd
ITEM_SURFACE_SPECIAL(155, kItemGrinGnz, kGrinGnzShape)        // gnz
// Grating and diffraction order are one field under two names.
ITEM_SURFACE_FIELD(156, kItemGratingOrder, diffraction_order)      // gor
ITEM_SURFACE_FIELD(157, kItemDiffractionOrder, diffraction_order)  // dor
ITEM_SURFACE_FIELD(158, kItemGratingSpacing, grating_spacing)      // gsp
ITEM_SURFACE_FIELD(159, kItemFresnel, fresnel)                     // frn
ITEM_SURFACE_FIELD(160, kItemAlternateIntersection, alternate_intersection)  // asi
ITEM_SURFACE_FIELD(161, kItemTirOnly, tir_only)                    // tir
ITEM_SURFACE_FIELD(162, kItemRod, rod)                             // rod
ITEM_SURFACE_RECORD(163, kItemDesignWavelength, diffractive, design_wavelength)  // dwv
ITEM_SURFACE_RECORD(164, kItemHologramVirtual1, hologram, first_point_virtual)  // hv1
ITEM_SURFACE_RECORD(165, kItemHologramVirtual2, hologram, second_point_virtual)  // hv2
ITEM_SURFACE_RECORD(166, kItemHologramOrder, hologram, order)      // hor
ITEM_SURFACE_RECORD(167, kItemHologramWavelength, hologram, wavelength)  // hwv
ITEM_SURFACE_RECORD(168, kItemHologramX1, hologram, first_point[0])  // hx1
ITEM_SURFACE_RECORD(169, kItemHologramY1, hologram, first_point[1])  // hy1
ITEM_SURFACE_RECORD(170, kItemHologramZ1, hologram, first_point[2])  // hz1
ITEM_SURFACE_RECORD(171, kItemHologramX2, hologram, second_point[0])  // hx2
ITEM_SURFACE_RECORD(172, kItemHologramY2, hologram, second_point[1])  // hy2
ITEM_SURFACE_RECORD(173, kItemHologramZ2, hologram, second_point[2])  // hz2
ITEM_SURFACE_SPECIAL(174, kItemAsphereCoefficient, kAsphereTermsShape)  // asp_coefficient
ITEM_SURFACE_SPECIAL(175, kItemDoeCoefficient, kDiffractiveTermsShape)  // doe_coefficient
ITEM_SURFACE_SPECIAL(176, kItemZernikeSwitch, kSurfaceCharShape)   // zrt: Zernike diffractive kinds
// The record kinds, or a pseudo-kind for a surface without the record.
ITEM_SURFACE_SPECIAL(177, kItemAsphereKind, kSurfaceCharShape)      // asphere_kind
ITEM_SURFACE_SPECIAL(178, kItemDiffractiveKind, kSurfaceCharShape)  // diffractive_kind
ITEM_SURFACE_RECORD(179, kItemGrinKind, grin, kind)                 // grin_kind
// The tolerance record, through the tolerancing code's resolver.
ITEM_SURFACE_SPECIAL(180, kItemToleranceTht, kSurfaceDoubleShape)  // tht
ITEM_SURFACE_SPECIAL(181, kItemToleranceDct, kSurfaceDoubleShape)  // dct
ITEM_SURFACE_SPECIAL(182, kItemToleranceSpt, kSurfaceDoubleShape)  // spt
ITEM_SURFACE_SPECIAL(183, kItemToleranceIrt, kSurfaceDoubleShape)  // irt
ITEM_SURFACE_SPECIAL(184, kItemToleranceRdt, kSurfaceDoubleShape)  // rdt
ITEM_SURFACE_SPECIAL(185, kItemToleranceRnt, kSurfaceDoubleShape)  // rnt
ITEM_SURFACE_SPECIAL(186, kItemToleranceTlt, kSurfaceDoubleShape)  // tlt
ITEM_SURFACE_SPECIAL(187, kItemToleranceCct, kSurfaceDoubleShape)  // cct
ITEM_SURFACE_SPECIAL(188, kItemToleranceDzt, kSurfaceDoubleShape)  // dzt
ITEM_SURFACE_SPECIAL(189, kItemToleranceVnt, kSurfaceDoubleShape)  // vnt
ITEM_SURFACE_SPECIAL(190, kItemToleranceDxt, kSurfaceDoubleShape)  // dxt
ITEM_SURFACE_SPECIAL(191, kItemToleranceTbt, kSurfaceDoubleShape)  // tbt
ITEM_SURFACE_SPECIAL(192, kItemToleranceCdx, kSurfaceDoubleShape)  // cdx
ITEM_SURFACE_SPECIAL(193, kItemToleranceCdy, kSurfaceDoubleShape)  // cdy
ITEM_SURFACE_SPECIAL(194, kItemToleranceCca, kSurfaceDoubleShape)  // cca
ITEM_SURFACE_SPECIAL(195, kItemToleranceCcb, kSurfaceDoubleShape)  // ccb
ITEM_SURFACE_SPECIAL(196, kItemToleranceCaa, kSurfaceDoubleShape)  // caa
ITEM_SURFACE_SPECIAL(197, kItemToleranceCab, kSurfaceDoubleShape)  // cab
// Special aperture j of the surface, counted from 1. The polygon corners (px, py) share their
// first two with the rectangle's (x1, x2, y1, y2).
ITEM_SURFACE_SPECIAL(198, kItemSaY1, kApertureDoubleShape)                      // sa_y1
ITEM_SURFACE_SPECIAL(199, kItemSaY2, kApertureDoubleShape)                      // sa_y2
ITEM_SURFACE_SPECIAL(200, kItemSaX1, kApertureDoubleShape)                      // sa_x1
ITEM_SURFACE_SPECIAL(201, kItemSaX2, kApertureDoubleShape)                      // sa_x2
ITEM_SURFACE_SPECIAL(202, kItemSaAngle, kApertureDoubleShape)                   // sa_angle
ITEM_SURFACE_SPECIAL(203, kItemSaShape, kApertureCharShape)                     // sa_shape
ITEM_SURFACE_SPECIAL(204, kItemSaAction, kApertureCharShape)                    // sa_action
ITEM_SURFACE_SPECIAL(205, kItemSaPx1, kApertureDoubleShape)                     // sa_px1
ITEM_SURFACE_SPECIAL(206, kItemSaPx2, kApertureDoubleShape)                     // sa_px2
ITEM_SURFACE_SPECIAL(207, kItemSaPx3, kApertureDoubleShape)                     // sa_px3
ITEM_SURFACE_SPECIAL(208, kItemSaPx4, kApertureDoubleShape)                     // sa_px4
ITEM_SURFACE_SPECIAL(209, kItemSaPy1, kApertureDoubleShape)                     // sa_py1
ITEM_SURFACE_SPECIAL(210, kItemSaPy2, kApertureDoubleShape)                     // sa_py2
ITEM_SURFACE_SPECIAL(211, kItemSaPy3, kApertureDoubleShape)                     // sa_py3
ITEM_SURFACE_SPECIAL(212, kItemSaPy4, kApertureDoubleShape)                     // sa_py4
ITEM_SURFACE_SPECIAL(213, kItemSaGroup, kApertureCharShape)                     // sa_group
ITEM_SURFACE_WORD(214, kItemSaCount, special_aperture_count)                    // sa_count
ITEM_SURFACE_SPECIAL(215, kItemAsphereOrder, kAsphereTermsShape)                // asp_order
ITEM_SURFACE_SPECIAL(216, kItemAsphereEntered, kAsphereTermsShape)              // asp_entered
ITEM_SURFACE_SPECIAL(217, kItemSplineRadius, kSplinePointsShape)                // spline_radius
ITEM_SURFACE_SPECIAL(218, kItemSplineSlope, kSplinePointsShape)                 // spline_slope
ITEM_SURFACE_SPECIAL(219, kItemZoeCoefficient, kDiffractiveTermsShape)          // zoe_coefficient
ITEM_SURFACE_WORD(220, kItemShape, shape)                                       // shape
ITEM_SURFACE_FIELD(221, kItemCurvatureKind, curvature_kind)                     // curvature_kind
ITEM_SURFACE_FIELD(222, kItemToric, toric)                                      // toric
ITEM_SURFACE_WORD(223, kItemCurvatureSource, curvature_source)                  // curvature_source
ITEM_SURFACE_FIELD(224, kItemCurvatureValue, curvature_solve_value)             // curvature_value
ITEM_SURFACE_FIELD(225, kItemThicknessKind, thickness_kind)                     // thickness_kind
ITEM_SURFACE_WORD(226, kItemThicknessSource, thickness_source)                  // thickness_source
ITEM_SURFACE_WORD(227, kItemThicknessSource2, thickness_source2)                // thickness_source2
ITEM_SURFACE_FIELD(228, kItemThicknessValue, thickness_solve_value)             // thickness_value
ITEM_SURFACE_FIELD(229, kItemApertureKind, aperture_kind)                       // aperture_kind
ITEM_SURFACE_FIELD(230, kItemApertureCheck, aperture_check)                     // aperture_check
ITEM_SURFACE_WORD(231, kItemApertureSource, aperture_source)                    // aperture_source
ITEM_SURFACE_FIELD(232, kItemMediumKind, medium_kind)                           // medium_kind
ITEM_SURFACE_WORD(233, kItemMediumSource, medium_source)                        // medium_source
ITEM_SURFACE_RECORD(234, kItemPerfectFocalLength, perfect_lens, focal_length)   // pfl
ITEM_SURFACE_RECORD(235, kItemPerfectMagnification, perfect_lens, magnification)  // pfm
ITEM_SURFACE_FIELD(236, kItemGroupKind, group_kind)                             // group_kind
ITEM_SURFACE_FIELD(237, kItemGroupRole, group_role)                             // group_role

// The lens-drawing conditions.
ITEM_LENS_RECORD(238, kItemDrawingDlid, drawing_conditions, view[0])                // dlid
ITEM_LENS_RECORD(239, kItemDrawingDlfd, drawing_conditions, view[1])                // dlfd
ITEM_LENS_RECORD(240, kItemDrawingDlxs, drawing_conditions, view[2])                // dlxs
ITEM_LENS_RECORD(241, kItemDrawingDlys, drawing_conditions, view[3])                // dlys
ITEM_LENS_RECORD(242, kItemDrawingViewAngle1, drawing_conditions, view_angle1)      // dlva
ITEM_LENS_RECORD(243, kItemDrawingViewAngle2, drawing_conditions, view_angle2)      // dlha
ITEM_LENS_RECORD(244, kItemDrawingDlap, drawing_conditions, dlap)                   // dlap
ITEM_LENS_RECORD(245, kItemDrawingDlri, drawing_conditions, dlri)                   // dlri
ITEM_LENS_RECORD(246, kItemDrawingDlsp, drawing_conditions, dlsp)                   // dlsp
ITEM_LENS_RECORD(247, kItemDrawingDlrs, drawing_conditions, dlrs)                   // dlrs
ITEM_LENS_RECORD(248, kItemDrawingRaySetCount, drawing_conditions, row_count)       // dlnf
ITEM_LENS_RECORD(249, kItemDrawingFirstSurface, drawing_conditions, first_surface)  // dlfs
ITEM_LENS_RECORD(250, kItemDrawingLastSurface, drawing_conditions, last_surface)    // dlls
// Drawing ray set i, counted from 0.
ITEM_RAY_SET(251, kItemRaySetRayCount, ray_count)                  // dlnr
ITEM_RAY_SET(252, kItemRaySetFieldFraction, field_fraction)        // dlfp
ITEM_RAY_SET(253, kItemRaySetPupilMin, pupil_min)                  // dlmn
ITEM_RAY_SET(254, kItemRaySetPupilMax, pupil_max)                  // dlmx
ITEM_RAY_SET(255, kItemRaySetXFieldFraction, x_field_fraction)     // dlxf
ITEM_RAY_SET(256, kItemRaySetOffset, offset)                       // dlos
ITEM_RAY_SET(257, kItemRaySetUnused, unused)                       // dl_word
ITEM_RAY_SET(258, kItemRaySetWavelength, wavelength)               // dlwn
ITEM_LENS_RECORD(259, kItemDrawingDlcv, drawing_conditions, dlcv)  // dlcv
ITEM_LENS_RECORD(260, kItemDrawingDlas, drawing_conditions, dlas)  // dlas
ITEM_LENS_RECORD(261, kItemDrawingDlhr, drawing_conditions, dlhr)  // dlhr

// The optimisation parameters.
ITEM_LENS_RECORD(262, kItemDamping, optimise_params, damping)                          // opdf
ITEM_LENS_RECORD(263, kItemSmallDamping, optimise_params, small_damping)               // opds
ITEM_LENS_RECORD(264, kItemDampingReduction, optimise_params, damping_reduction)       // opdm
ITEM_LENS_RECORD(265, kItemDerivativeIncrement, optimise_params, derivative_increment)  // opdi
ITEM_LENS_RECORD(266, kItemBoundWeight, optimise_params, bound_weight)                 // opbw
ITEM_LENS_RECORD(267, kItemStopThreshold, optimise_params, stop_threshold)             // opst
ITEM_LENS_RECORD(268, kItemMinAirThickness, optimise_params, min_air_thickness)        // omna
ITEM_LENS_RECORD(269, kItemMaxAirThickness, optimise_params, max_air_thickness)        // omxa
ITEM_LENS_RECORD(270, kItemMinGlassThickness, optimise_params, min_glass_thickness)    // omng
ITEM_LENS_RECORD(271, kItemMaxGlassThickness, optimise_params, max_glass_thickness)    // omxg
ITEM_LENS_RECORD(272, kItemAutomaticIncrements, optimise_params, automatic_increments)  // opvi
ITEM_LENS_RECORD(273, kItemVariableDamping, optimise_params, variable_damping)         // opvd
ITEM_LENS_RECORD(274, kItemConstraintTolerance, optimise_params, constraint_tolerance)  // opct
ITEM_LENS_RECORD(275, kItemOptimiseSwitch5, optimise_params, flags[0])                 // op_switch5
ITEM_LENS_RECORD(276, kItemOptimiseSwitch6, optimise_params, flags[1])                 // op_switch6
ITEM_LENS_RECORD(277, kItemSumOfSquares, optimise_params, sum_of_squares)              // opss

// Lens-wide options.
ITEM_LENS_FIELD(278, kItemOpdw, opdw)
ITEM_LENS_FIELD(279, kItemApck, apck)
ITEM_LENS_FIELD(280, kItemEpxy, epxy)
ITEM_LENS_FIELD(281, kItemWrsp, wrsp)
ITEM_LENS_FIELD(282, kItemAimState, aim_state)
ITEM_LENS_FIELD(283, kItemAimTelecentric, aim_telecentric)
ITEM_LENS_FIELD(284, kItemAimExtended, aim_extended)
ITEM_LENS_FIELD(285, kItemHtnu, htnu)
ITEM_LENS_FIELD(286, kItemGrck, grck)
ITEM_LENS_FIELD(287, kItemZrxr, zrxr)
ITEM_LENS_FIELD(288, kItemAimMode, aim_mode)
ITEM_LENS_FIELD(289, kItemNolc, nolc)
ITEM_LENS_FIELD(290, kItemGprt, gprt)
ITEM_LENS_FIELD(291, kItemCbk, cbk)
ITEM_LENS_FIELD(292, kItemCbkAlias, cbk)
ITEM_LENS_FIELD(293, kItemFanRays, fan_rays)

// The spot-diagram settings.
ITEM_LENS_RECORD(294, kItemApertureDivisions, spot_settings, aperture_divisions)           // sdad
ITEM_LENS_RECORD(295, kItemApodisationWidthX, spot_settings, apodisation_width_x)          // sdgx
ITEM_LENS_RECORD(296, kItemApodisationWidthY, spot_settings, apodisation_width_y)          // sdgy
ITEM_LENS_RECORD(297, kItemMtfPathLimit, spot_settings, mtf_path_limit)                    // sdms
ITEM_LENS_RECORD(298, kItemThroughFocusFrequency, spot_settings, through_focus_frequency)  // sdtf
ITEM_LENS_FIELD(299, kItemXaba, xaba)
ITEM_LENS_RECORD(300, kItemPolychromatic, spot_settings, polychromatic)                    // sdpc
ITEM_LENS_RECORD(301, kItemApodisationOn, spot_settings, apodisation_on)                   // sdaz
ITEM_LENS_RECORD(302, kItemShowDiffractionLimit, spot_settings, show_diffraction_limit)    // sdsa

// clang-format on

#undef ITEM_LENS_FIELD
#undef ITEM_SPECIAL
#undef ITEM_SURFACE_FIELD
#undef ITEM_SURFACE_WORD
#undef ITEM_SURFACE_RECORD
#undef ITEM_SURFACE_SPECIAL
#undef ITEM_LENS_RECORD
#undef ITEM_RAY_SET
