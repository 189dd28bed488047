#pragma once

namespace hakomiru {

// Ends the program at once, whatever window asked: every window closes, nothing is saved and
// nothing is asked. Safe to call again while the program is already ending.
void endProgram();

} // namespace hakomiru
