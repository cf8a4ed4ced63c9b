// Constants the drawing and the map share.
#pragma once

// Pi to 14 digits: the ring's angles and the drawing library's rotations use this value.
inline constexpr double kPi = 3.14159265358979;
