// Makes the sheet that the program makes from three picture files opened into 絵A, 絵B and 絵C,
// without any window: the expected file of the desktop session test.
//
//   sheet_driver -a <picture> -b <picture> -c <picture> -o <sheet.bmp>
//
// Slots, pieces and canvas get the window-background colour of the widgets on this display, as
// the program's boxes do.

#include <cstdio>
#include <vector>

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include "conversion/sheet.h"
#include "intake/fit.h"
#include "intake/slot_intake.h"
#include "output/sheet_file.h"
#include "surface/picture_file.h"
#include "surface/surface.h"

using namespace hakomiru;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QString files[3];
    QString output;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& flag = args[i];
        if (flag == QLatin1String("-a"))
            files[0] = args[i + 1];
        else if (flag == QLatin1String("-b"))
            files[1] = args[i + 1];
        else if (flag == QLatin1String("-c"))
            files[2] = args[i + 1];
        else if (flag == QLatin1String("-o"))
            output = args[i + 1];
    }
    if (output.isEmpty() || files[0].isEmpty() || files[1].isEmpty() || files[2].isEmpty()) {
        std::fprintf(stderr, "usage: sheet_driver -a A -b B -c C -o sheet.bmp\n");
        return 2;
    }

    const QRgb back = QWidget().palette().color(QPalette::Window).rgb();
    constexpr int sourceSide = 489;
    constexpr int previewSide = 145;
    constexpr int pieceSide = 200;
    std::vector<Surface> sources(8, Surface(sourceSide, sourceSide, back));
    Surface preview(previewSide, previewSide, back);
    const int slotIndexes[3] = {0, 1, 5};
    for (int k = 0; k < 3; ++k) {
        const PictureLoad load = loadPictureFile(files[k], [](QSize natural) {
            return decodeSizeFor(natural, sourceSide, fitWhole, fileAspectThreshold);
        });
        if (!load.picture) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(files[k]));
            return 1;
        }
        placePicture(*load.picture, {sources[std::size_t(slotIndexes[k])], preview}, fitWhole,
                     fileAspectThreshold);
    }

    std::vector<Surface> pieces(pieceBoxCount, Surface(pieceSide, pieceSide, back));
    const QSize canvasSize = sheetCanvasSize(pieces[0]);
    Surface canvas(canvasSize.width(), canvasSize.height(), back);
    ConvertSheet(sources, pieces, canvas);
    const SheetWrite written = writeSheetBmp(canvas.image(), output);
    if (!written.ok) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(output),
                     qPrintable(written.error));
        return 1;
    }
    return 0;
}
