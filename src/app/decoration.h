#pragma once

#include <QImage>

namespace hakomiru {

// The program's own little picture: a folded paper box, 50 x 50 pixels. It stands beside the
// convert button and serves as the window icon.
[[nodiscard]] QImage decorationPicture();

} // namespace hakomiru
