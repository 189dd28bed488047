#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace hakomiru {

// Rounds to the nearest whole number, a tie going to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). Independent of the floating-point environment's rounding mode.
[[nodiscard]] inline double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double down = std::floor(value);
    const double fraction = value - down;
    if (fraction < 0.5)
        return down;
    if (fraction > 0.5)
        return down + 1.0;
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}

// The conversion of a number to a 16-bit integer: nearest, ties to even. Values beyond the
// 16-bit range saturate and NaN gives 0, so the result is always defined.
[[nodiscard]] inline std::int16_t toInt16(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = roundHalfEven(value);
    if (rounded <= std::numeric_limits<std::int16_t>::min())
        return std::numeric_limits<std::int16_t>::min();
    if (rounded >= std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(rounded);
}

// The same rounding into a plain int, saturating at the int range; NaN gives 0.
[[nodiscard]] inline int toInt(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = roundHalfEven(value);
    if (rounded <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (rounded >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}

} // namespace hakomiru
