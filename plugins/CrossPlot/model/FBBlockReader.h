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
    // A pipe or another input that cannot seek: read once, in order, from one thread.
    bool isSequential() const { return sequential; }
    FBHeader header();
    // The header of a sequential input that was read before this reader opened it.
    void skipHeader() { headerDone = true; }

    // Records that begin on the file as it was opened; the last may be cut short. Unknown for
    // a sequential input until it ends: the most there can be until then.
    qint64 recordsOnFile() const;
    // Whole records the file holds (for a sequential input, those it delivered).
    qint64 wholeRecords() const;

    // Fills buffer with count records from record index first on. Bytes that the file does
    // not deliver, because it ends or shrank since it was opened, are zeros. Safe to call from
    // several threads at once, but for a sequential input, which is read in order from one.
    // Returns the records of which the file delivered any byte.
    int read(qint64 first, int count, char *buffer) const;

    // Reads a sequential input to its end, counting what it delivers; nothing for a file.
    void drain();
    void close() { file.close(); }

private:
    Q_DISABLE_COPY(FBBlockReader)
    QFile file;
    qint64 size = 0;
    bool sequential = false;
    bool headerDone = false;
    mutable qint64 delivered = 0; // bytes of records a sequential input delivered
    mutable bool ended = false;
};
