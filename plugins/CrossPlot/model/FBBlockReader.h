#pragma once

#include "FBHeader.h"

#include <QFile>
#include <QString>

// Reads blocks of whole records from an FB file with positioned reads, from several threads at
// once. The file is never mapped into memory: a file cut short under a mapping would end the
// process with SIGBUS, while a read merely delivers fewer bytes.
class FBBlockReader
{
public:
    // Opens the file and notes its size; a file that cannot be opened reads as zero bytes.
    explicit FBBlockReader(const QString &fileName);

    bool isOpen() const { return file.isOpen(); }
    FBHeader header();

    // Records that begin on the file as it was opened; the last may be cut short.
    qint64 recordsOnFile() const;

    // Fills buffer with count records from record index first on. Bytes that the file does
    // not deliver, because it ends or shrank since it was opened, are zeros. Safe to call from
    // several threads at once.
    void read(qint64 first, int count, char *buffer) const;

    void close() { file.close(); }

private:
    Q_DISABLE_COPY(FBBlockReader)
    QFile file;
    qint64 size = 0;
};
