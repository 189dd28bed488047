// Damaged, unusual and hostile picture files: the readable ones are placed as any other picture,
// the others fail with a reason, and none may crash, hang or exhaust memory.

#include <QtTest>

#include "intake/fit.h"
#include "intake/slot_intake.h"
#include "picture/picture_file.h"
#include "surface/surface.h"
#include "test_pictures.h"

using namespace hakomiru;
using namespace hakomiru::testing;

namespace {

QString picturePath(const QString& name)
{
    return QStringLiteral(HAKOMIRU_TEST_DATA "/pictures/") + name;
}

const QRgb back = qRgb(236, 233, 216);
const QRgb clear = qRgba(0, 0, 0, 0); // a transparent quadrant: shows the box colour
const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255),
           white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);

// Opens a file into a slot's boxes as the program does.
Result<void> place(const QString& path, int fitMode, Surface& source, Surface& preview)
{
    return fillSlotFromFile(loadPictureFile, path, fitMode, SlotBoxes{source, preview});
}

// Pastes a picture's bytes into a slot's boxes as the program does: read by the picture reader,
// placed when it gives a picture. Returns the reader's outcome.
PictureLoad paste(const QByteArray& bytes, int fitMode, Surface& source, Surface& preview)
{
    PictureLoad load = loadPictureData(bytes);
    (void)fillSlotFromPicture(
        [&load]() -> std::optional<QImage> {
            return load.ok() ? std::optional<QImage>(load->image) : std::nullopt;
        },
        fitMode, SlotBoxes{source, preview});
    return load;
}

int paintedPixels(const Surface& box)
{
    int count = 0;
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x)
            count += box.point(x, y) != back;
    return count;
}

} // namespace

class tst_HostilePictures : public QObject
{
    Q_OBJECT

private slots:
    // `shown`: for the pictures of tests/data/make_pictures.py, the colours of the four quadrants
    // and the marker, which every pixel of the decoded picture, upright, must show exactly.
    // `tolerance`: 0 for pictures stored without loss, every pixel exact; otherwise each pixel
    // whose neighbours (two each way) show one colour must be within it of that colour.
    void readableOnesArePlaced_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<QList<QRgb>>("shown");
        QTest::addColumn<int>("tolerance");
        for (const char* name :
             {"bmp-1bit.bmp", "bmp-4bit.bmp", "bmp-8bit.bmp", "bmp-16bit.bmp", "bmp-32bit.bmp",
              "bmp-rle4.bmp", "bmp-rle8.bmp", "bmp-topdown.bmp", "jpeg-progressive.jpg",
              "jpeg-cmyk.jpg", "gif-plain.gif", "gif-interlaced.gif", "gif-animated.gif",
              "gif-transparent.gif", "png-alpha.png"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30) << QList<QRgb>() << 0;
        QTest::newRow("one-by-one.png") << "one-by-one.png" << QSize(1, 1) << QList<QRgb>() << 0;
        // Bit fields wider than 8 bits, scaled exactly; a 2-bit alpha field of 0 is transparent.
        const QList<QRgb> plain{red, green, blue, white, black};
        const QList<QRgb> clearBottomLeft{red, green, clear, white, black};
        QTest::newRow("10-10-10-2")
            << "bmp-32bit-1010102.bmp" << QSize(40, 30) << clearBottomLeft << 0;
        QTest::newRow("11-11-10") << "bmp-32bit-111110.bmp" << QSize(40, 30) << plain << 0;
        QTest::newRow("3-10-3") << "bmp-16bit-3103.bmp" << QSize(40, 30) << plain << 0;
        // Headers of 52 and 56 bytes with their masks inside; OS/2 headers of 12 and 16 bytes
        // with a palette shorter than 256 colours.
        QTest::newRow("header 52") << "bmp-header52.bmp" << QSize(40, 30) << plain << 0;
        QTest::newRow("header 56") << "bmp-header56.bmp" << QSize(40, 30) << clearBottomLeft << 0;
        QTest::newRow("os/2 short palette")
            << "bmp-os2-short-palette.bmp" << QSize(40, 30) << plain << 0;
        QTest::newRow("os/2 header 16") << "bmp-os2v2-header16.bmp" << QSize(40, 30) << plain << 0;
        // 16-bit RGB with a transparent colour: the bottom left differs from it in the low byte.
        QTest::newRow("png 16-bit rgb, transparent colour")
            << "png-rgb16-trns.png" << QSize(40, 30)
            << QList<QRgb>{clear, green, qRgb(128, 64, 32), white, black} << 0;
        // 39 pixels wide (rows padded at every depth but 4 bits), in mid-tone colours. A field
        // of n bits scales to value * 255 / (2^n - 1), to the nearest: 5 bits 13 -> 106.94 -> 107.
        QTest::newRow("39 wide, 1 bit, os/2")
            << "bmp-39-1bit-os2.bmp" << QSize(39, 30)
            << QList<QRgb>{qRgb(180, 90, 40), qRgb(30, 140, 200), qRgb(30, 140, 200),
                           qRgb(180, 90, 40), qRgb(30, 140, 200)}
            << 0;
        QTest::newRow("39 wide, 2 bits, header 16")
            << "bmp-39-2bit-os2v2.bmp" << QSize(39, 30)
            << QList<QRgb>{qRgb(200, 100, 50), qRgb(60, 170, 90), qRgb(110, 40, 160),
                           qRgb(230, 210, 120), qRgb(230, 210, 120)}
            << 0;
        QTest::newRow("39 wide, 4 bits, header 16")
            << "bmp-39-4bit-os2v2.bmp" << QSize(39, 30)
            << QList<QRgb>{qRgb(200, 60, 70), qRgb(70, 190, 90), qRgb(60, 80, 210),
                           qRgb(220, 220, 120), qRgb(20, 30, 40)}
            << 0;
        QTest::newRow("39 wide, 8 bits, os/2")
            << "bmp-39-8bit-os2.bmp" << QSize(39, 30)
            << QList<QRgb>{qRgb(190, 70, 60), qRgb(80, 180, 100), qRgb(70, 90, 200),
                           qRgb(230, 230, 130), qRgb(25, 35, 45)}
            << 0;
        QTest::newRow("9 x 6, 8 bits, os/2, a file shorter than 256 colours")
            << "bmp-9x6-8bit-os2.bmp" << QSize(9, 6)
            << QList<QRgb>{qRgb(190, 70, 60), qRgb(80, 180, 100), qRgb(70, 90, 200),
                           qRgb(230, 230, 130), qRgb(25, 35, 45)}
            << 0;
        QTest::newRow("39 wide, 24 bits, os/2")
            << "bmp-39-24bit-os2.bmp" << QSize(39, 30)
            << QList<QRgb>{qRgb(200, 120, 40), qRgb(90, 180, 30), qRgb(40, 70, 190),
                           qRgb(150, 150, 150), qRgb(10, 20, 30)}
            << 0;
        // 5-5-5, stored 13 20 7 | 25 3 16 | 7 28 25 | 16 10 3 | 3 13 28.
        QTest::newRow("39 wide, 16 bits 5-5-5, header 16")
            << "bmp-39-16bit-555-os2v2.bmp" << QSize(39, 30)
            << QList<QRgb>{qRgb(107, 165, 58), qRgb(206, 25, 132), qRgb(58, 230, 206),
                           qRgb(132, 82, 25), qRgb(25, 107, 230)}
            << 0;
        QTest::newRow("39 wide, 32 bits 8-8-8, header 16")
            << "bmp-39-32bit-888-os2v2.bmp" << QSize(39, 30)
            << QList<QRgb>{qRgb(201, 119, 41), qRgb(91, 181, 29), qRgb(41, 71, 189),
                           qRgb(149, 151, 153), qRgb(11, 19, 31)}
            << 0;
        // 5-6-5, stored 13 40 20 | 25 13 7 | 7 50 16 | 20 30 25 | 3 5 28.
        QTest::newRow("39 wide, 16 bits 5-6-5, header 52")
            << "bmp-39-16bit-565-header52.bmp" << QSize(39, 30)
            << QList<QRgb>{qRgb(107, 162, 165), qRgb(206, 53, 58), qRgb(58, 202, 132),
                           qRgb(165, 121, 206), qRgb(25, 20, 230)}
            << 0;
        // 10-10-10-2 after a 40-byte header, stored 500 300 850 | 123 700 1000 | alpha 0 |
        // 850 123 500 | 40 60 80, alpha 3 elsewhere.
        QTest::newRow("39 wide, 10-10-10-2")
            << "bmp-39-32bit-1010102.bmp" << QSize(39, 30)
            << QList<QRgb>{qRgb(125, 75, 212), qRgb(31, 174, 249), clear, qRgb(212, 31, 125),
                           qRgb(10, 15, 20)}
            << 0;
        // 11-11-10, stored 1000 1500 300 | 333 1234 850 | 1500 700 123 | 1234 333 500 |
        // 10 20 30.
        QTest::newRow("39 wide, 11-11-10")
            << "bmp-39-32bit-111110.bmp" << QSize(39, 30)
            << QList<QRgb>{qRgb(125, 187, 75), qRgb(41, 154, 212), qRgb(187, 87, 31),
                           qRgb(154, 41, 125), qRgb(1, 2, 7)}
            << 0;
        // 3-10-3, stored 2 500 4 | 6 123 1 | 4 850 6 | 1 300 2 | 5 40 3.
        QTest::newRow("39 wide, 3-10-3")
            << "bmp-39-16bit-3103.bmp" << QSize(39, 30)
            << QList<QRgb>{qRgb(73, 125, 146), qRgb(219, 31, 36), qRgb(146, 212, 219),
                           qRgb(36, 75, 73), qRgb(182, 10, 109)}
            << 0;
        // A photo for each orientation tag, stored 128 x 80 as a camera held that way stores
        // it: its marker in the stored corner named. Stood upright, each is the same picture of
        // grey quadrants with the marker top-left.
        const QList<QRgb> greys{qRgb(40, 40, 40), qRgb(100, 100, 100), qRgb(160, 160, 160),
                                qRgb(220, 220, 220), black};
        QTest::newRow("exif 1, as stored")
            << "jpeg-exif-orientation-1.jpg" << QSize(128, 80) << greys << 0;
        QTest::newRow("exif 2, mirrored: marker top-right")
            << "jpeg-exif-orientation-2.jpg" << QSize(128, 80) << greys << 0;
        QTest::newRow("exif 3, half turn: marker bottom-right")
            << "jpeg-exif-orientation-3.jpg" << QSize(128, 80) << greys << 0;
        QTest::newRow("exif 4, flipped: marker bottom-left")
            << "jpeg-exif-orientation-4.jpg" << QSize(128, 80) << greys << 0;
        QTest::newRow("exif 5, transposed: marker top-left")
            << "jpeg-exif-orientation-5.jpg" << QSize(80, 128) << greys << 0;
        QTest::newRow("exif 6, quarter turn clockwise: marker bottom-left")
            << "jpeg-exif-orientation-6.jpg" << QSize(80, 128) << greys << 0;
        QTest::newRow("exif 7, transversed: marker bottom-right")
            << "jpeg-exif-orientation-7.jpg" << QSize(80, 128) << greys << 0;
        QTest::newRow("exif 8, quarter turn anticlockwise: marker top-right")
            << "jpeg-exif-orientation-8.jpg" << QSize(80, 128) << greys << 0;
        // The same photos as lossless WebP, the orientation in an EXIF chunk: with the JPEG
        // block's "Exif" prefix (odd tags) and without it, in Intel and Motorola order.
        QTest::newRow("webp exif 1, as stored")
            << "webp-exif-orientation-1.webp" << QSize(128, 80) << greys << 0;
        QTest::newRow("webp exif 2, mirrored: marker top-right")
            << "webp-exif-orientation-2.webp" << QSize(128, 80) << greys << 0;
        QTest::newRow("webp exif 3, half turn: marker bottom-right, big-endian")
            << "webp-exif-orientation-3.webp" << QSize(128, 80) << greys << 0;
        QTest::newRow("webp exif 4, flipped: marker bottom-left")
            << "webp-exif-orientation-4.webp" << QSize(128, 80) << greys << 0;
        QTest::newRow("webp exif 5, transposed: marker top-left")
            << "webp-exif-orientation-5.webp" << QSize(80, 128) << greys << 0;
        QTest::newRow("webp exif 6, quarter turn clockwise: marker bottom-left")
            << "webp-exif-orientation-6.webp" << QSize(80, 128) << greys << 0;
        QTest::newRow("webp exif 7, transversed: marker bottom-right")
            << "webp-exif-orientation-7.webp" << QSize(80, 128) << greys << 0;
        QTest::newRow("webp exif 8, quarter turn anticlockwise: marker top-right, big-endian")
            << "webp-exif-orientation-8.webp" << QSize(80, 128) << greys << 0;
        // WebP: lossless, with alpha, the first frame of an animation (the second is black), and
        // lossy. TIFF: 8 and 16 bits a sample (deflated, big-endian), with alpha, grey, palette,
        // CMYK, and stored turned with orientation 6. HEIC and AVIF, lossy: plain, with alpha,
        // and stored turned with a rotation property.
        for (const char* name :
             {"webp-lossless.webp", "webp-animated.webp", "tiff-rgb8.tif", "tiff-rgb16-deflate.tif",
              "tiff-palette.tif", "tiff-cmyk.tif", "tiff-orientation-6.tif"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30) << plain << 0;
        for (const char* name : {"webp-alpha.webp", "tiff-rgba8.tif"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30) << clearBottomLeft
                                << 0;
        QTest::newRow("tiff-grey8.tif")
            << "tiff-grey8.tif" << QSize(40, 30)
            << QList<QRgb>{qRgb(200, 200, 200), qRgb(100, 100, 100), qRgb(50, 50, 50), white, black}
            << 0;
        // TIFF read by the program's own reader. Samples of n bits scale to value * 255 /
        // (2^n - 1), to the nearest: 2 bits 1 -> 85; 4 bits 5 10 3 -> 85 170 51; 12 bits 2048
        // 1000 -> 127.53 62.27; 32 bits 2^31 2^30 -> 127.50000003 63.75. Tiles of 16 x 16 and
        // one of 48 x 32, 16-bit planes one after another, a G4 fax with 0 white.
        for (const char* name :
             {"tiff-tiles16.tif", "tiff-tile-larger.tif", "tiff-rgb16-planes-big-endian.tif"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30) << plain << 0;
        QTest::newRow("tiff 2-bit grey, 39 wide")
            << "tiff-grey2.tif" << QSize(39, 30)
            << QList<QRgb>{qRgb(85, 85, 85), qRgb(170, 170, 170), white, black, black} << 0;
        QTest::newRow("tiff 4-bit rgb")
            << "tiff-rgb4.tif" << QSize(40, 30)
            << QList<QRgb>{red, green, qRgb(85, 170, 51), white, black} << 0;
        QTest::newRow("tiff 12-bit rgb, 39 wide")
            << "tiff-rgb12.tif" << QSize(39, 30)
            << QList<QRgb>{red, green, qRgb(128, 62, 255), white, black} << 0;
        QTest::newRow("tiff 32-bit rgb, big-endian")
            << "tiff-rgb32-big-endian.tif" << QSize(40, 30)
            << QList<QRgb>{red, green, qRgb(128, 64, 255), white, black} << 0;
        // 0.2 0.6 -1 -> 51 153 0; 1.5 is white.
        QTest::newRow("tiff 32-bit floating point rgb")
            << "tiff-float32.tif" << QSize(40, 30)
            << QList<QRgb>{red, green, qRgb(51, 153, 0), white, black} << 0;
        // Signed, shifted up by 32768: 0 -16384 16384 32767 -32768 -> 32768 16384 49152 65535
        // 0 -> 127.50 63.75 191.25 255 0.
        QTest::newRow("tiff 16-bit signed grey")
            << "tiff-grey16-signed.tif" << QSize(40, 30)
            << QList<QRgb>{qRgb(128, 128, 128), qRgb(64, 64, 64), qRgb(191, 191, 191), white, black}
            << 0;
        QTest::newRow("tiff 16-bit palette, indices 1000 40000 65535 7 0")
            << "tiff-palette16.tif" << QSize(40, 30)
            << QList<QRgb>{red, green, qRgb(128, 64, 32), white, black} << 0;
        // Cyan and black a quarter each: (1 - 0.25) * (1 - 0.25) * 255 = 143.4, 0.75 * 255 =
        // 191.25.
        QTest::newRow("tiff 16-bit cmyk")
            << "tiff-cmyk16.tif" << QSize(40, 30)
            << QList<QRgb>{red, green, qRgb(143, 191, 191), white, black} << 0;
        QTest::newRow("tiff g4 fax") << "tiff-fax-g4.tif" << QSize(40, 30)
                                     << QList<QRgb>{white, black, black, white, black} << 0;
        // Blue three fifths opaque over the box colour (236, 233, 216): 236 * 0.4 = 94.4,
        // 233 * 0.4 = 93.2, 255 * 0.6 + 216 * 0.4 = 239.4; stored unassociated in 8 bits and
        // premultiplied in 12.
        for (const char* name : {"tiff-rgba8-unassociated.tif", "tiff-rgba12-associated.tif"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30)
                                << QList<QRgb>{red, green, qRgb(94, 93, 239), white, black} << 2;
        // sRGB (200, 60, 40) (60, 160, 90) (50, 80, 170) stored as D50 L*a*b* in 8 bits:
        // 121 55 45, 150 -42 28, 91 14 -53 (ICC Lab: a* and b* + 128), back to sRGB by Bradford's
        // adaptation to D65 (worked out apart from the program): (200, 61, 40) (62, 160, 89)
        // (51, 79, 170).
        for (const char* name : {"tiff-cielab.tif", "tiff-icclab.tif"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30)
                                << QList<QRgb>{qRgb(200, 61, 40), qRgb(62, 160, 89),
                                               qRgb(51, 79, 170), white, black}
                                << 2;
        // YCbCr not compressed as JPEG, through libtiff's RGBA helper: within its rounding.
        QTest::newRow("tiff-ycbcr.tif") << "tiff-ycbcr.tif" << QSize(40, 30) << plain << 3;
        // YCbCr compressed as JPEG, turned into RGB by libjpeg.
        QTest::newRow("tiff-jpeg-ycbcr.tif")
            << "tiff-jpeg-ycbcr.tif" << QSize(40, 30) << plain << 40;
        // HEIF files whose first brand is mif1 or mif2, the coding named among the compatible
        // brands or not at all.
        for (const char* name : {"webp-lossy.webp", "heic-plain.heic", "heic-turned.heic",
                                 "avif-plain.avif", "heif-mif1-heic.heic", "heif-mif2-heic.heic",
                                 "heif-mif1-only.heic", "avif-mif1.avif"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30) << plain << 40;
        QTest::newRow("heic-alpha.heic")
            << "heic-alpha.heic" << QSize(40, 30) << clearBottomLeft << 40;
        // 8 million pixels in 2 KB: AV1 packs flat areas far tighter than any fixed ratio.
        QTest::newRow("avif-3840x2160.avif")
            << "../large/avif-3840x2160.avif" << QSize(3840, 2160) << QList<QRgb>() << 0;
        // Colour profiles: the stored numbers converted to sRGB. Display P3 on a gamma of
        // 563/256 (2.2 as the profile stores it), stored 200 100 50 | 60 170 90 | 110 40 160 |
        // 230 210 120: each channel to light, through the published D65 matrices of P3 (to XYZ)
        // and sRGB (from XYZ), clipped to 0..1 and onto sRGB's curve, gives the colours below
        // (the second's red is -0.04, clipped). The AVIF's colour box says P3 on sRGB's curve.
        const QList<QRgb> p3{qRgb(216, 93, 24), qRgb(0, 174, 79), qRgb(120, 27, 168),
                             qRgb(235, 210, 105), black};
        for (const char* name : {"png-icc-p3.png", "webp-icc-p3.webp"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(40, 30) << p3 << 2;
        // The JPEG stores 197 100 47 for the first (its encoder's loss), and P3 to sRGB takes
        // dark blue's steps three times as steep: read as sRGB it would be 20 levels away.
        QTest::newRow("jpeg-icc-p3.jpg") << "jpeg-icc-p3.jpg" << QSize(40, 30) << p3 << 8;
        QTest::newRow("avif, nclx display p3")
            << "avif-nclx-p3.avif" << QSize(40, 30)
            << QList<QRgb>{qRgb(215, 93, 31), qRgb(0, 173, 80), qRgb(120, 33, 166),
                           qRgb(234, 209, 105), black}
            << 2;
        // A profile whose red is sRGB's green and whose green is sRGB's red; in the JPEG, split
        // over three segments, the first of them written last.
        const QList<QRgb> swapped{green, red, blue, white, black};
        QTest::newRow("png, red and green exchanged")
            << "png-icc-swapped.png" << QSize(40, 30) << swapped << 2;
        QTest::newRow("png with alpha, red and green exchanged")
            << "png-icc-swapped-alpha.png" << QSize(40, 30)
            << QList<QRgb>{green, red, clear, white, black} << 2;
        QTest::newRow("avif, red and green exchanged")
            << "avif-icc-swapped.avif" << QSize(40, 30) << swapped << 2;
        QTest::newRow("jpeg, red and green exchanged, 3 segments out of order")
            << "jpeg-icc-swapped-3-chunks.jpg" << QSize(40, 30) << swapped << 2;
        QTest::newRow("tiff, red and green exchanged")
            << "tiff-icc-swapped.tif" << QSize(40, 30) << swapped << 2;
        QTest::newRow("bmp, red and green exchanged, the profile after the pixels")
            << "bmp-icc-swapped.bmp" << QSize(40, 30) << swapped << 2;
        // CMYK with a profile whose cyan is sRGB's red, magenta green and yellow blue (Qt's
        // reader would show cyan, magenta and yellow). The JPEG stores 254 for a full ink, and
        // a few less in the block of the marker: each level is about 3 of sRGB's steep dark end.
        QTest::newRow("jpeg cmyk, inks as red, green and blue")
            << "jpeg-cmyk-icc.jpg" << QSize(40, 30) << plain << 8;
        // Grey stored as light (gamma 1): 200 is 0.784 of white, 229.1 on sRGB's curve.
        const QList<QRgb> linearGrey{qRgb(229, 229, 229), qRgb(168, 168, 168), qRgb(122, 122, 122),
                                     white, black};
        QTest::newRow("png grey, linear grey profile")
            << "png-icc-grey-linear.png" << QSize(40, 30) << linearGrey << 2;
        QTest::newRow("tiff grey, linear grey profile")
            << "tiff-icc-grey-linear.tif" << QSize(40, 30) << linearGrey << 2;
        // sRGB's own profile changes nothing, not even by a level.
        QTest::newRow("png, srgb profile")
            << "png-icc-srgb.png" << QSize(40, 30)
            << QList<QRgb>{qRgb(200, 100, 50), qRgb(60, 170, 90), qRgb(110, 40, 160),
                           qRgb(230, 210, 120), black}
            << 0;
        // Profiles that cannot be used are ignored: the picture is read as sRGB.
        QTest::newRow("jpeg, one of two profile segments missing")
            << "jpeg-icc-segment-missing.jpg" << QSize(40, 30) << plain << 2;
        QTest::newRow("png, profile cut short")
            << "png-icc-cut-short.png" << QSize(40, 30) << plain << 0;
        QTest::newRow("png, grey profile on rgb")
            << "png-icc-grey-on-rgb.png" << QSize(40, 30) << plain << 0;
    }
    void readableOnesArePlaced()
    {
        QFETCH(QString, name);
        QFETCH(QSize, natural);
        QFETCH(QList<QRgb>, shown);
        QFETCH(int, tolerance);
        QCOMPARE(loadPictureFile(picturePath(name))->naturalSize, natural);
        for (int mode : {fitWhole, fitCover}) {
            Surface source(489, 489, back), preview(145, 145, back);
            const Result<void> placed = place(picturePath(name), mode, source, preview);
            QVERIFY2(placed.ok(), qPrintable(placed.error()));
            QVERIFY(paintedPixels(source) > 0);
            QVERIFY(paintedPixels(preview) > 0);
        }
        if (shown.isEmpty())
            return;
        const QImage decoded = flattenOnto(loadPictureFile(picturePath(name))->image, back);
        auto onBox = [](QRgb c) {
            return qAlpha(c) == 0 ? back : c;
        };
        const QImage expected =
            quadrantPicture(natural.width(), natural.height(), onBox(shown[0]), onBox(shown[1]),
                            onBox(shown[2]), onBox(shown[3]), onBox(shown[4]));
        QCOMPARE(decoded.size(), natural);
        auto oneColourAround = [&expected, &natural](int x, int y) {
            for (int v = std::max(0, y - 2); v <= std::min(natural.height() - 1, y + 2); ++v)
                for (int u = std::max(0, x - 2); u <= std::min(natural.width() - 1, x + 2); ++u)
                    if (expected.pixel(u, v) != expected.pixel(x, y))
                        return false;
            return true;
        };
        for (int y = 0; y < natural.height(); ++y)
            for (int x = 0; x < natural.width(); ++x)
                QVERIFY2(tolerance == 0
                             ? decoded.pixel(x, y) == expected.pixel(x, y)
                             : !oneColourAround(x, y) ||
                                   closeColor(decoded.pixel(x, y), expected.pixel(x, y), tolerance),
                         qPrintable(QStringLiteral("(%1, %2) is %3, expected %4")
                                        .arg(x)
                                        .arg(y)
                                        .arg(colorText(decoded.pixel(x, y)),
                                             colorText(expected.pixel(x, y)))));
    }

    void pictureKindsShowTheirContent()
    {
        Surface source(489, 489, back), preview(145, 145, back);
        // Top-down rows: red above, blue below.
        QVERIFY(place(picturePath("bmp-topdown.bmp"), fitWhole, source, preview).ok());
        QCOMPARE(source.point(244, 100), qRgb(255, 0, 0));
        QCOMPARE(source.point(244, 380), qRgb(0, 0, 255));
        // RLE4 runs: colour 0 (red) on the left half, colour 1 (blue) on the right.
        QVERIFY(place(picturePath("bmp-rle4.bmp"), fitWhole, source, preview).ok());
        QCOMPARE(source.point(100, 244), qRgb(255, 0, 0));
        QCOMPARE(source.point(400, 244), qRgb(0, 0, 255));
        // An animated GIF shows its first frame (red), not a later one.
        QVERIFY(place(picturePath("gif-animated.gif"), fitWhole, source, preview).ok());
        QCOMPARE(source.point(244, 244), qRgb(255, 0, 0));
        // Interlaced rows land where they belong.
        QVERIFY(place(picturePath("gif-interlaced.gif"), fitWhole, source, preview).ok());
        QCOMPARE(source.point(244, 100), qRgb(255, 0, 0));
        QCOMPARE(source.point(244, 380), qRgb(0, 0, 255));
        // Transparent pixels show the box colour.
        for (const char* name : {"gif-transparent.gif", "png-alpha.png"}) {
            QVERIFY(place(picturePath(QString::fromLatin1(name)), fitWhole, source, preview).ok());
            QCOMPARE(source.point(100, 244), back);
            QCOMPARE(preview.point(30, 72), back);
        }
    }

    // A picture a fraction of a pixel wide in one fit paints nothing and does not fail.
    void slivers()
    {
        Surface source(489, 489, back), preview(145, 145, back);
        QVERIFY(place(picturePath("tall-1x10000.jpg"), fitWhole, source, preview).ok());
        QCOMPARE(paintedPixels(source), 0);
        QCOMPARE(paintedPixels(preview), 0);
        QVERIFY(place(picturePath("wide-10000x1.bmp"), fitWhole, source, preview).ok());
        QCOMPARE(paintedPixels(source), 0);
        // In cover mode the sliver is stretched over the whole box.
        QVERIFY(place(picturePath("wide-10000x1.bmp"), fitCover, source, preview).ok());
        QCOMPARE(paintedPixels(source), 489 * 489);
    }

    void unreadableOnesFailWithAReason_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason"); // how the reason begins; empty for any
        for (const char* name : {"empty.jpg",
                                 "text.bmp",
                                 "bmp-negative-width.bmp",
                                 "bmp-zero-size.bmp",
                                 "gif-screen-65535.gif",
                                 "jpeg-60000x60000.jpg",
                                 "truncated-plain-10.jpg",
                                 "truncated-gif-plain-10.gif",
                                 "truncated-bmp-8bit-10.bmp",
                                 "fuzz-png-huge-text-chunk.png",
                                 "jpeg-progressive-49157x27397.jpg",
                                 "jpeg-1100-comments.jpg",
                                 "fuzz-jpeg-11104x60000.jpg",
                                 "no-such-file.jpg",
                                 "webp-100000x100000.webp",
                                 "tiff-100000x100000.tif",
                                 "tiff-huge-tiles.tif",
                                 "avif-100000x100000.avif",
                                 "heic-grid-100000x100000.heic",
                                 "png-4294967295x4294967295.png",
                                 "truncated-tiff-rgb8-50.tif",
                                 "truncated-tiff-rgb16-deflate-50.tif",
                                 "truncated-webp-lossy-50.webp",
                                 "truncated-heic-plain-50.heic"})
            QTest::newRow(name) << QString::fromLatin1(name) << QString();
        // Over the memory budget: too large, whatever the file holds (the two of 60000 and
        // 100000 were refused as damaged while a fixed ratio of memory to file bytes ruled
        // before the budget). Within it, a header that claims more than the file can hold in a
        // format with a hard bound on packing (PNG's deflate, an uncompressed BMP's rows) is
        // damaged.
        const QString tooLarge = QStringLiteral("the picture is too large");
        const QString overclaims = QStringLiteral("the picture data is damaged: its header claims");
        QTest::newRow("avif 17000 x 17000") << "avif-17000x17000.avif" << tooLarge;
        for (const char* name : {"avif-60000x60000.avif", "bmp-100000x100000.bmp"})
            QTest::newRow(name) << QString::fromLatin1(name) << tooLarge;
        QTest::newRow("png 3000 x 3000 in 45 bytes") << "png-3000x3000.png" << overclaims;
        QTest::newRow("bmp 3000 x 3000 holding one row")
            << "bmp-3000x3000-one-row.bmp" << overclaims;
        // Files of the same box structure as HEIF that hold no HEIF picture.
        const QString notPicture = QStringLiteral("not a picture in a format this program reads");
        for (const char* name :
             {"iso-mp4-isom.mp4", "iso-mp4-mp42.mp4", "iso-quicktime.mov", "iso-jpeg2000.jp2"})
            QTest::newRow(name) << QString::fromLatin1(name) << notPicture;
    }
    // From the file, and as bytes (pasted or dropped), whole as they come, into a slot that
    // held a picture: the slot is left cleared.
    void unreadableOnesFailWithAReason()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        Surface source(489, 489, back), preview(145, 145, back);
        QFile file(picturePath(name));
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        for (const bool pasted : {false, true}) {
            QVERIFY(place(picturePath("bmp-32bit.bmp"), fitCover, source, preview).ok());
            QCOMPARE(paintedPixels(preview), 145 * 145);
            const QString error = pasted
                                      ? paste(bytes, fitWhole, source, preview).error()
                                      : place(picturePath(name), fitWhole, source, preview).error();
            QVERIFY(!error.isEmpty());
            QVERIFY2(error.startsWith(reason), qPrintable(error));
            QCOMPARE(paintedPixels(source), 0); // cleared, nothing shown
            QCOMPARE(paintedPixels(preview), 0);
        }
    }

    // Cut short anywhere, a picture either reads (partly) or fails; it never takes the program
    // down. Every file of the corpus, cut at many points.
    void truncatedAnywhere()
    {
        const QDir dir(QStringLiteral(HAKOMIRU_TEST_DATA "/pictures"));
        const QStringList names = dir.entryList(QDir::Files);
        QVERIFY(names.size() > 30);
        for (const QString& name : names) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray whole = file.readAll();
            for (int cut = 0; cut < whole.size(); cut += std::max<int>(1, int(whole.size()) / 23)) {
                Surface source(489, 489, back), preview(145, 145, back);
                const PictureLoad load = paste(whole.left(cut), fitCover, source, preview);
                QVERIFY(load.ok() || !load.error().isEmpty());
            }
        }
    }
};

QTEST_MAIN(tst_HostilePictures)
#include "tst_hostile_pictures.moc"
