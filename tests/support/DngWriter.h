#pragma once

// DNG files written at test time, so camera RAW tests need no fixtures: the
// raw data is made from a picture (a Bayer mosaic or three linear channels),
// optionally behind a preview in IFD0 with the raw in a SubIFD.

#include <QImage>
#include <QString>

#include <cmath>
#include <tiffio.h>
#include <vector>

namespace ovrin::test {

struct DngOptions {
    bool mosaic = true;       // a RGGB mosaic; else LinearRaw
    QImage preview;           // 8-bit RGB in IFD0 when not null
    int orientation = 1;      // EXIF numbering
    bool jpegPreview = false; // the preview as JPEG-compressed strip
};

namespace dngdetail {

inline std::uint16_t linear(int level)
{
    const double v = level / 255.0;
    const double l = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    return static_cast<std::uint16_t>(std::lround(l * 65535.0));
}

inline void cameraTags(TIFF* tif, int orientation)
{
    static const std::uint8_t version[4] = {1, 4, 0, 0};
    static const std::uint8_t backward[4] = {1, 1, 0, 0};
    // The camera's space is linear sRGB: XYZ (D65) to linear sRGB.
    static const float matrix[9] = {3.2406f, -1.5372f, -0.4986f, -0.9689f, 1.8758f,
                                    0.0415f, 0.0557f,  -0.2040f, 1.0570f};
    static const float neutral[3] = {1.0f, 1.0f, 1.0f};
    TIFFSetField(tif, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tif, TIFFTAG_DNGBACKWARDVERSION, backward);
    TIFFSetField(tif, TIFFTAG_MAKE, "Ovrin");
    TIFFSetField(tif, TIFFTAG_MODEL, "Test");
    TIFFSetField(tif, TIFFTAG_UNIQUECAMERAMODEL, "Ovrin Test");
    TIFFSetField(tif, TIFFTAG_COLORMATRIX1, 9, matrix);
    TIFFSetField(tif, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
    TIFFSetField(tif, TIFFTAG_CALIBRATIONILLUMINANT1, 21);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
}

inline bool writeRaw(TIFF* tif, const QImage& picture, bool mosaic)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    const int width = rgb.width();
    const int height = rgb.height();
    const int channels = mosaic ? 1 : 3;
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, channels);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    const std::uint32_t white = 65535;
    TIFFSetField(tif, TIFFTAG_WHITELEVEL, 1, &white);
    if (mosaic) {
        static const std::uint16_t dims[2] = {2, 2};
        static const std::uint8_t pattern[4] = {0, 1, 1, 2};
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CFA);
        TIFFSetField(tif, TIFFTAG_CFAREPEATPATTERNDIM, dims);
        TIFFSetField(tif, TIFFTAG_CFAPATTERN, 4, pattern);
    } else {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, 34892); // LinearRaw
    }
    std::vector<std::uint16_t> row(std::size_t(width) * channels);
    for (int y = 0; y < height; ++y) {
        const uchar* in = rgb.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            if (mosaic)
                row[x] = linear(in[x * 3 + ((y & 1) + (x & 1))]); // R G / G B
            else
                for (int c = 0; c < 3; ++c)
                    row[x * 3 + c] = linear(in[x * 3 + c]);
        }
        if (TIFFWriteScanline(tif, row.data(), std::uint32_t(y), 0) < 0)
            return false;
    }
    return TIFFWriteDirectory(tif) != 0;
}

} // namespace dngdetail

// Writes `picture` as a DNG at `path`; false when libtiff failed.
inline bool writeDng(const QString& path, const QImage& picture, const DngOptions& options = {})
{
    TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "w");
    if (tif == nullptr)
        return false;
    bool ok = true;
    if (options.preview.isNull()) {
        dngdetail::cameraTags(tif, options.orientation);
        ok = dngdetail::writeRaw(tif, picture, options.mosaic);
    } else {
        const QImage preview = options.preview.convertToFormat(QImage::Format_RGB888);
        dngdetail::cameraTags(tif, options.orientation);
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, preview.width());
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, preview.height());
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                     options.jpegPreview ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION,
                     options.jpegPreview ? COMPRESSION_JPEG : COMPRESSION_NONE);
        if (options.jpegPreview)
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        if (options.jpegPreview) // a whole JPEG in the strip, as cameras write it
            TIFFSetField(tif, TIFFTAG_JPEGTABLESMODE, 0);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, preview.height());
        toff_t subifd = 0;
        TIFFSetField(tif, TIFFTAG_SUBIFD, 1, &subifd);
        for (int y = 0; ok && y < preview.height(); ++y)
            ok = TIFFWriteScanline(tif, const_cast<uchar*>(preview.constScanLine(y)),
                                   std::uint32_t(y), 0) >= 0;
        ok = ok && TIFFWriteDirectory(tif) != 0;
        ok = ok && dngdetail::writeRaw(tif, picture, options.mosaic);
    }
    TIFFClose(tif);
    return ok;
}

} // namespace ovrin::test
