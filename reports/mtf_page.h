// The MTF report page: the MTF of the axis, the 0.7 field and the full field in one plot,
// against frequency or through focus, with a legend of the field points, the MTF type and the
// wavelengths.
#pragma once

// report_mtf [highest frequency [points]]; report_tf_mtf [frequency [range [points]]].
int cmd_report_mtf_page();
