#include "runtime/math_commands.h"

#include <cmath>

#include "numeric/math_functions.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"

namespace {

PowerFunction power_function = nullptr;

}  // namespace

int cmd_math_elementary() {
    const double x = arg_double(0);
    double y = x;
    switch (current_command()) {
        case kCmdSin:
            y = std::sin(x);
            break;
        case kCmdCos:
            y = std::cos(x);
            break;
        case kCmdAsin:
        case kCmdAcos:
            if (!(x >= -1.0 && x <= 1.0)) return kMsgArcsineDomain;
            y = current_command() == kCmdAsin ? std::asin(x) : std::acos(x);
            break;
        case kCmdSqrt:
            // -0.0 is not below 0: its root is -0.0.
            if (!(x >= 0.0)) return kMsgRootOfNegative;
            y = std::sqrt(x);
            break;
        case kCmdExp:
            y = std::exp(x);
            break;
        case kCmdLog:
        case kCmdLog10:
            if (!(x > 0.0)) return kMsgLogOfNonPositive;
            y = current_command() == kCmdLog ? std::log(x) : std::log10(x);
            break;
        case kCmdPow: {
            if (power_function == nullptr) {
                y = std::pow(x, arg_double(1));
            } else {
                const int r = power_function(y, arg_double(1));
                if (r != 0) return r;
            }
            break;
        }
        case kCmdJ0:
            y = bessel_j0(x);
            break;
        case kCmdJ1:
            y = bessel_j1(x);
            break;
        default:
            break;
    }
    set_double_result(y);
    return 0;
}

int cmd_math_misc() {
    const double a = arg_double(0);
    const double b = arg_double(1);
    double y = a;
    switch (current_command()) {
        case kCmdTan:
            y = std::tan(a);
            break;
        case kCmdAtan2:
            y = a == 0.0 && b == 0.0 ? 0.0 : std::atan2(a, b);
            break;
        case kCmdMin:
            y = a < b ? a : b;
            break;
        case kCmdMax:
            y = a > b ? a : b;
            break;
        case kCmdAbs:
            y = std::fabs(a);
            break;
        case kCmdCeil:
            y = std::ceil(a);
            break;
        case kCmdFloor:
            y = std::floor(a);
            break;
        case kCmdRound:
            y = std::trunc(a >= 0.0 ? a + 0.5 : a - 0.5);
            break;
        case kCmdRoundSig:
            y = round_significant(a, static_cast<int>(b));
            break;
        default:
            break;
    }
    set_double_result(y);
    return 0;
}

void install_math_commands(PowerFunction power) {
    power_function = power;
    set_handler(kSlotMathElementary, cmd_math_elementary);
    set_handler(kSlotMathMisc, cmd_math_misc);
}
