#include "InputCheck.h"

#include "FBHeader.h"

#include <QCoreApplication>
#include <QFile>

// The dialog shows these texts, so they are translated in its context.
InputCheck InputCheck::ofOffsetRange(const CrossPlotParam &param)
{
    InputCheck check;
    if (!param.offsetRangeIsLegal()) {
        check.problem = OffsetRange;
        check.message = QCoreApplication::translate("CrossPlotDialog",
                                                    "Error: the offset range is illegal.");
    }
    return check;
}

InputCheck InputCheck::of(const CrossPlotParam &param)
{
    InputCheck check = ofOffsetRange(param);
    if (!check.passed())
        return check;
    QFile file(param.fbName);
    // Unbuffered: a pipe gives up the header's bytes alone, and the records stay for the load.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        check.openError = file.errorString();
        check.problem = OpenFile;
        check.message =
            QCoreApplication::translate("CrossPlotDialog", "Error: fail to open the file: %1")
                .arg(param.fbName);
        return check;
    }
    check.sequential = file.isSequential();
    check.fileSize = check.sequential ? -1 : file.size();
    check.header = FBHeader::read(file);
    if (!check.header.isLegal()) {
        check.problem = Header;
        check.message =
            QCoreApplication::translate("CrossPlotDialog", "Error: the input file is illegal.");
    }
    return check;
}
