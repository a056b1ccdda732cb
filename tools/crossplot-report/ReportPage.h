#pragma once

#include "FileReport.h"
#include "ReportOptions.h"

#include <QCoreApplication>
#include <QVector>

// The report's index.html: one self-contained page (inline style and script, no fonts or
// anything else from outside) with a sortable summary table and one section per file. It is
// also well-formed XML (closed empty elements, numeric entities, no '<' or '&' in the script),
// so that a plain XML reader can check it.
class ReportPage
{
    Q_DECLARE_TR_FUNCTIONS(ReportPage)

public:
    static QByteArray html(const QVector<FileReport> &reports, const ReportOptions &options);
};
