#pragma once

#include <cstdint>
#include <optional>

#include <QString>

namespace hakomiru {

// The state the windows share for the whole run. Everything starts at zero or empty; the main
// window's start-up sets the start values.
struct ProgramState
{
    // The slot (0..7) that the next open or paste acts on.
    std::int16_t currentSlot = 0;
    // How a placed picture is fitted: 0 whole picture visible, 1 box covered.
    std::int16_t fitMode = 0;
    // Paper for printing: 0 A4, 1 JIS B5, 2 JIS B4, 3 A3.
    std::int16_t paperSize = 0;
    // 0 landscape, 1 portrait; unset until the print settings dialog sets it.
    std::optional<std::int16_t> paperOrientation;
    // The path last chosen in the open dialog.
    QString fileName;

    // The orientation as the print code reads it: unset counts as 0.
    [[nodiscard]] int orientation() const { return paperOrientation.value_or(0); }
};

} // namespace hakomiru
