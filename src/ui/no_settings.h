#pragma once

namespace hakomiru {

// The program keeps nothing between runs. Qt's own parts would otherwise keep some (the file
// dialog remembers its last folder in a settings file in the user's home); this points every
// settings file at a place that cannot be written, so nothing is. Call once, right after the
// application object is made.
void keepNoSettings();

} // namespace hakomiru
