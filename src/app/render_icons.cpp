// Writes the program's icon for the hicolor theme, at build time:
//   hakomiru_render_icons <folder>
// gives <folder>/<N>x<N>/apps/hakomiru.png for every installed size N. It draws the same picture
// the program shows beside its convert button and uses as its window icon.

#include <cstdio>

#include <QDir>
#include <QImage>
#include <QString>

#include "ui/decoration.h"

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int side : hakomiru::iconSides) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(side);
        const QString file = folder + QStringLiteral("/hakomiru.png");
        if (!QDir().mkpath(folder) || !hakomiru::decorationPicture(side).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
