// The command language's elementary functions of a double (slot 21) and the further one- and
// two-argument functions and roundings (slot 22). Each hands back a double result; a domain
// error returns its message number.
#pragma once

inline constexpr int kMsgRootOfNegative = -34;
inline constexpr int kMsgArcsineDomain = -35;
inline constexpr int kMsgLogOfNonPositive = -86;

enum MathCommand : int {
    kCmdSin = 110,
    kCmdCos = 111,
    kCmdTan = 112,
    kCmdAsin = 113,
    kCmdAcos = 114,
    kCmdAtan2 = 115,
    kCmdMin = 116,
    kCmdMax = 117,
    kCmdSqrt = 118,
    kCmdExp = 119,
    kCmdLog = 120,
    kCmdLog10 = 121,
    kCmdAbs = 122,
    kCmdPow = 123,
    kCmdJ0 = 124,
    kCmdJ1 = 125,
    kCmdCeil = 126,
    kCmdFloor = 127,
    kCmdRound = 128,
    kCmdRoundSig = 129,
};

int cmd_math_elementary();
int cmd_math_misc();
// The power of the command language's operator (base to exponent in place, 0 or a message
// number); it lives above this layer, so app installs it.
using PowerFunction = int (*)(double& base, double exponent);
void install_math_commands(PowerFunction power);
