#pragma once

#include <QString>

class QImage;

// Writes the report's pictures as PNG files, made for speed: no row filters and run-length
// compression, which suit plots of flat colours. Qt's own writer tries every row filter and
// deflates hard; over many ordinary files that was half of a report's time.
class PngFile
{
public:
    // False, with the reason in error, when the file cannot be written.
    static bool write(const QImage &image, const QString &fileName, QString *error = nullptr);
};
