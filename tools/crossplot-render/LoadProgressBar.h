#pragma once

#include <QString>

// The load's progress as a text bar on stderr, redrawn in place; for terminals only.
class LoadProgressBar
{
public:
    explicit LoadProgressBar(const QString &label);
    ~LoadProgressBar();

    // The loader's progress values: percentages, or one per record below 100 records.
    void setRecords(qint64 records) { m_records = records; }
    void draw(int value);

private:
    Q_DISABLE_COPY(LoadProgressBar)
    QString m_label;
    qint64 m_records = 0;
    int m_drawn = -1;
};
