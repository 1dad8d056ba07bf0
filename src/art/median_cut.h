#pragma once

// Reducing a picture to a palette of its own, for the program's 256-colour
// art: the badge of the splash and the credits box's background.

#include <QImage>

namespace vantrel {

// An 8-bit palette copy of `image` (alpha is ignored) with at most
// `maxColours` entries (1 to 256), chosen by median cut: the picture's
// colours are split, weighted by how many pixels use them, along their
// widest channel until there are `maxColours` groups, and each pixel gets
// the nearest group average. A picture with no more colours than that
// keeps every colour exactly. The result depends only on the pixels, so
// the same picture always gives the same palette. An empty image gives an
// empty image.
QImage toIndexed8(const QImage &image, int maxColours = 256);

} // namespace vantrel
