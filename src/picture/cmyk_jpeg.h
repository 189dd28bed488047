#pragma once

#include <optional>

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace hakomiru {

// CMYK JPEGs with a CMYK colour profile: Qt's JPEG reader turns CMYK into RGB by itself, with no
// profile, so such a picture is decoded here with libjpeg and its inks converted to sRGB with
// LittleCMS and the profile.

// True when `icc` is a profile LittleCMS opens whose colour space is CMYK.
[[nodiscard]] bool isCmykProfile(const QByteArray& icc);

// The CMYK JPEG in `bytes` decoded by libjpeg reduced to the smallest of its eighths at least as
// large as `scale` (invalid: whole), as stored (the caller turns it as its orientation tag says),
// and converted to sRGB with the CMYK profile `icc`, in RGB32. Adobe's inverted inks (files with
// an Adobe segment, as Photoshop writes them) are taken as such. Nothing when the bytes are no
// CMYK JPEG, the profile does not fit, or libjpeg finds the data damaged: the caller then reads
// the picture as before.
[[nodiscard]] std::optional<QImage> decodeCmykJpeg(const QByteArray& bytes, QSize scale,
                                                   const QByteArray& icc);

} // namespace hakomiru
