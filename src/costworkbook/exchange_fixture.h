// Test fixture: "outexcel.dat" as designopt writes it for a grille of length 48,
// width 2, tube number 5, thickness 0.125 and tolerance 0.008, byte for byte.
#pragma once

namespace designopt {

constexpr const char* kExchange48By2 =
    " March 05 03\n"
    "\n"
    " Pro/E To Excel\n"
    "\n"
    " TubeNumber\t\t 5\n"
    " thickness\t\t   0.125\n"
    " tolerance\t\t   0.008\n"
    "\n"
    " FrameCorner\t\t   3.125\n"
    " FrameSide\t\t  49.125\n"
    " MandrelBar\t\t  48.000\n"
    " SupportBar\t\t   1.500\n"
    " Tube\t\t   1.625\n"
    " Clip\t\t 10\n"
    " BarNumber\t\t 4\n"
    "\n";

}  // namespace designopt
