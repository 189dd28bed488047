#pragma once

#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QString>

#include "picture/picture_file.h"
#include "surface/result.h"

class QIODevice;

namespace hakomiru {

// What a slot needs of a picture: the size its boxes are painted at and the size it keeps the
// picture at for the sharp page and the views, both as the side of the square box the picture is
// fitted into by `fitMode`. A picture is decoded no larger than each of them needs.
struct SlotReadPlan
{
    int fitMode = 0;
    // Fitted as a pasted picture is (the clipboard's factor, measured by its own pixels), rather
    // than as an opened file.
    bool pasted = false;
    int boxSide = 0;
    int keptSide = 0;
    // What the kept picture's transparent parts are flattened onto: the source box's BackColor.
    QRgb backColor = 0xffffffff;

    [[nodiscard]] double aspectThreshold() const;
    // The size a picture of a natural size is decoded at for the boxes, and for keeping.
    [[nodiscard]] DecodeSizeFor boxSize() const;
    [[nodiscard]] DecodeSizeFor keptSize() const;
};

// A picture read for a slot: what its boxes are painted from (upright, possibly transparent), and
// what the slot keeps (opaque, Format_RGB32, flattened onto the plan's colour), both measured by
// the picture's natural size; with the fit they are placed by.
struct SlotRead
{
    Picture boxes;
    Picture kept;
    int fitMode = 0;
    double aspectThreshold = 1.0;
};
using SlotReading = Result<SlotRead>;

// Reads a picture for a slot from `device`, open for reading at its start, at the sizes `plan`
// asks for: each byte of it read once (see loadPictureOnce), a JPEG decoded at each size by its
// reader, any other kind decoded once and reduced to each. A picture that cannot be read gives the
// reader's reason. Runs on any thread; it shares nothing.
[[nodiscard]] SlotReading readSlotPicture(QIODevice& device, const SlotReadPlan& plan);
// The same for a file; the failure's subject is `path`.
[[nodiscard]] SlotReading readSlotFile(const QString& path, const SlotReadPlan& plan);
// The same for bytes already in memory (dropped picture data, the fuzz target).
[[nodiscard]] SlotReading readSlotData(const QByteArray& bytes, const SlotReadPlan& plan);
// A picture pasted whole: the boxes painted from it as it is, the slot keeping it reduced.
[[nodiscard]] SlotReading readPastedPicture(const QImage& picture, const SlotReadPlan& plan);

// The memory readSlotFile takes for the file at `path` with `plan`, its bytes included, worked out
// from its headers (see pictureBytesCost).
[[nodiscard]] qint64 slotReadCost(const QString& path, const SlotReadPlan& plan);

} // namespace hakomiru
