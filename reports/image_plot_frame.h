// The frame of the plots of the image plane (intensity perspective 768, point-spread
// perspective 793): page, title block with the heading, field point and focus shift, the
// reference point's distance from the axis and the scale, and a world frame in which a unit is
// as long across as up.
#pragma once

// The intensity perspective shares the frame; its command comes with its handler.
inline constexpr int kIntensityPerspectiveCommand = 768;

// Sets the world frame about (xmin..xmax, ymin..ymax) so that a world unit has equal length in
// both directions on the current viewport; the flag is stored with the frame.
void set_isometric_world(double xmin, double xmax, double ymin, double ymax, int flag);

// dz the focus shift; the reference point's offsets from the reference ray's image point; the
// scale; w the wavelength index, at or above Max_wavelengths for all wavelengths.
void draw_image_plot_frame(double dz, double y_offset, double x_offset, double scale, int w);
