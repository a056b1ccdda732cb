#include "PngFile.h"

#include <QFile>
#include <QImage>
#include <png.h>
#include <zlib.h>

namespace {

void writeBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto *file = static_cast<QFile *>(png_get_io_ptr(png));
    if (file->write(reinterpret_cast<const char *>(data), qint64(length)) != qint64(length))
        png_error(png, "write failed");
}

void flushNothing(png_structp) {}

} // namespace

bool PngFile::write(const QImage &image, const QString &fileName, QString *error)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QFile file(fileName);
    if (rgb.isNull() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = rgb.isNull() ? QStringLiteral("no picture") : file.errorString();
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        if (error)
            *error = QStringLiteral("out of memory");
        return false;
    }
    // libpng reports its errors by a long jump back here; nothing below holds resources that
    // the jump would leak (the rows are the image's own, the file closes with its object).
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (error)
            *error = file.errorString().isEmpty() ? QStringLiteral("cannot encode the picture")
                                                  : file.errorString();
        return false;
    }
    png_set_write_fn(png, &file, writeBytes, flushNothing);
    png_set_IHDR(png, info, png_uint_32(rgb.width()), png_uint_32(rgb.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_strategy(png, Z_RLE);
    png_write_info(png, info);
    for (int y = 0; y < rgb.height(); ++y)
        png_write_row(png, const_cast<png_bytep>(rgb.constScanLine(y)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return file.flush();
}
