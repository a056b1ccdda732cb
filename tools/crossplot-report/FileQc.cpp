#include "FileQc.h"

#include "CrossPlotMap.h"
#include "FBHeader.h"
#include "FBLoader.h"
#include "FBRecord.h"
#include "PickTrend.h"
#include "ResidualHistogram.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QSpinBox>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <new>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <unistd.h>

namespace {

QString dialogText(const char *text)
{
    return QCoreApplication::translate("CrossPlotDialog", text);
}

// The Correct or Error picks of a load that kept every class: just offsets and times, which
// is all a window needs.
FBPicks classPicks(const FBPicks &all, bool errorClass)
{
    FBPicks picks;
    picks.recordCount = all.recordCount;
    picks.offsetLow = all.offsetLow;
    picks.offsetHigh = all.offsetHigh;
    // Counted first, so that the vectors take exactly what they hold.
    const int count = int(std::count_if(all.classes.cbegin(), all.classes.cend(), [=](int code) {
        return FBRecord::isErrorClass(code) == errorClass;
    }));
    picks.offsets.resize(count);
    picks.fbTimes.resize(count);
    int *offsets = picks.offsets.data();
    int *times = picks.fbTimes.data();
    for (int i = 0; i < all.offsets.size(); ++i) {
        if (FBRecord::isErrorClass(all.classes.at(i)) == errorClass) {
            *offsets++ = all.offsets.at(i);
            *times++ = all.fbTimes.at(i);
        }
    }
    // Zero picks carry class 0: they are Correct.
    picks.zeroPicks = errorClass ? 0 : all.zeroPicks;
    picks.pickCount = picks.offsets.size() + picks.zeroPicks;
    return picks;
}

// The trend as a line over a crossplot: one curve per run of judged bins, each median drawn at
// its bin's centre, so that thin bins leave gaps instead of bridging them.
void drawTrend(QwtPlot *plot, const PickTrend &trend)
{
    QVector<QPointF> run;
    auto flush = [&run, plot] {
        if (run.size() > 1) {
            auto *curve = new QwtPlotCurve(FileQc::tr("Trend"));
            // Black stands out on every colour of the density map.
            curve->setPen(Qt::black, 1.5);
            curve->setRenderHint(QwtPlotItem::RenderAntialiased);
            curve->setSamples(run);
            curve->attach(plot); // the plot deletes it
        }
        run.clear();
    };
    for (int bin = 0; bin < trend.binCount(); ++bin) {
        int median = 0;
        if (trend.median(bin, &median))
            run.append(QPointF(trend.offsetLow() + (bin + 0.5) * trend.binWidth(), median));
        else
            flush();
    }
    flush();
    plot->replot();
}

// Qt's share of the label: single precision, two decimals.
double labelShare(int picks, int records)
{
    const float share = records != 0 ? 100.0f * float(picks) / float(records) : 0.0f;
    return QString::number(double(share), 'f', 2).toDouble();
}

} // namespace

FileQc::FileQc(const ReportOptions &options, const QDir &reportDir)
    : m_options(options), m_dir(reportDir), m_tty(isatty(fileno(stderr)))
{
}

FileReport FileQc::run(const QString &path, int index, int total)
{
    FileReport report;
    report.file = path;
    m_progressLabel = tr("file %1 of %2: %3").arg(index + 1).arg(total).arg(path);
    m_progressShown = -1;
    if (check(path, report)) {
        try {
            analyse(path, index, report);
        } catch (const std::bad_alloc &) {
            // The rest of the report matters more than this file's figures.
            report.readable = false;
            report.hasClasses = false;
            report.notes << tr("not enough memory to finish this file");
        }
    }
    // On a terminal the line replaces the progress shown in place.
    std::fprintf(stderr, "%s%s: %s\n", m_tty && m_progressShown >= 0 ? "\r\x1b[K" : "",
                 qPrintable(m_progressLabel),
                 report.message().isEmpty() ? qPrintable(tr("done"))
                                            : qPrintable(report.message()));
    return report;
}

void FileQc::analyse(const QString &path, int index, FileReport &report)
{
    FBPicks picks;
    if (!load(path, picks, report))
        return;
    report.readable = true;
    report.hasClasses = true;
    PickTrend trend(picks.offsetLow, m_options.trendBin, m_options.suspectMs);
    if (m_options.trend) {
        stage(tr("trend and suspects"));
        judge(picks, path, index, report, trend);
    }
    const PickTrend *shown = report.trend.done ? &trend : nullptr;
    stage(tr("drawing Correct"));
    drawClass(classPicks(picks, false), path, index, "correct", shown, report.correct,
              report.notes);
    stage(tr("drawing Error"));
    drawClass(classPicks(picks, true), path, index, "error", nullptr, report.error, report.notes);
    // The Both window needs neither records nor classes.
    picks.records = QVector<int>();
    picks.classes = QVector<int>();
    stage(tr("drawing Both"));
    drawClass(picks, path, index, "both", nullptr, report.both, report.notes);
}

// The dialog's checks and messages, and our own for what its file-name test keeps out.
bool FileQc::check(const QString &path, FileReport &report)
{
    const QFileInfo info(path);
    QFile file(path);
    if (info.isDir()) {
        report.refusal = tr("a folder, not an FB file");
        return false;
    }
    if (info.exists() && info.size() == 0) {
        report.refusal = tr("the file is empty");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        report.refusal = dialogText("Error: fail to open the file: %1").arg(path);
        return false;
    }
    const FBHeader header = FBHeader::read(file);
    report.recordCount = header.recordCount;
    report.offsetLow = header.offsetLow;
    report.offsetHigh = header.offsetHigh;
    report.recordsInFile = qMax<qint64>(0, (file.size() - FBHeader::Size) / FBRecord::Size);
    report.truncated = header.recordCount > report.recordsInFile;
    if (!header.isLegal()) {
        report.refusal = dialogText("Error: the input file is illegal.");
        return false;
    }
    report.legal = true;
    if (header.recordCount < 0)
        report.notes << tr("the header announces a negative record count (%1): no record is read")
                            .arg(header.recordCount);
    if (report.truncated)
        report.notes << tr("truncated: the header announces %L1 records, the file holds %L2; the "
                           "missing ones read as picks at 0 m, 0 ms")
                            .arg(header.recordCount)
                            .arg(report.recordsInFile);
    return true;
}

// The one place that reads picks, so that the loader's interface is met in one spot.
bool FileQc::load(const QString &path, FBPicks &picks, FileReport &report)
{
    FBPickFilter filter;
    filter.minOffset = m_options.minOffset;
    filter.maxOffset = m_options.maxOffset;
    filter.plotAllFB = true;
    filter.keepDetails = true;
    FBLoader loader(path, filter);
    progress(0);
    try {
        loader.readHeader(picks);
        m_progressRecords = picks.recordCount;
        loader.readRecords(picks, [this](int value) { progress(value); });
    } catch (const std::bad_alloc &) {
        picks = FBPicks();
        report.notes << tr("not enough memory to read its picks");
        return false;
    }
    report.offsetLow = picks.offsetLow;
    report.offsetHigh = picks.offsetHigh;
    if (picks.droppedPicks > 0)
        report.notes << tr("%L1 accepted picks did not fit in memory and were only counted")
                            .arg(picks.droppedPicks);

    qint64 wild = 0;
    for (const int time : qAsConst(picks.fbTimes))
        wild += time < -WildTimeMs || time > WildTimeMs;
    if (wild > 0)
        report.notes
            << tr("wild times: %L1 picks lie beyond \u00b1%L2 ms").arg(wild).arg(WildTimeMs);
    return true;
}

void FileQc::drawClass(const FBPicks &picks, const QString &path, int index, const char *className,
                       const PickTrend *trend, FileReport::ClassFigures &figures,
                       QStringList &notes)
{
    CrossPlotParam param;
    param.fbName = path;
    param.minOffset = m_options.minOffset;
    param.maxOffset = m_options.maxOffset;
    const QLatin1String name(className);
    param.plotCorrectFB = name == QLatin1String("correct");
    param.plotErrorFB = name == QLatin1String("error");
    param.plotAllFB = name == QLatin1String("both");
    // As crossplot-render does: the window starts at the dialog's point size, and other sizes
    // go through its own control.
    CrossPlotMap window(param, picks);
    if (auto *spin = window.findChild<QSpinBox *>(QStringLiteral("pointSize")))
        spin->setValue(m_options.pointSize);
    if (trend)
        drawTrend(window.plotWidget(), *trend);
    window.resize(window.minimumSize());
    window.show();
    QCoreApplication::processEvents();

    const QString stem = QStringLiteral("images/%1-%2-%3")
                             .arg(index + 1, 3, 10, QLatin1Char('0'))
                             .arg(QFileInfo(path).fileName(), name);
    figures.image = stem + QStringLiteral(".png");
    figures.thumbnail = stem + QStringLiteral("-small.png");
    const QString image = m_dir.filePath(figures.image);
    if (window.savePlotImage(image))
        QImage(image)
            .scaledToWidth(ThumbnailWidth, Qt::SmoothTransformation)
            .save(m_dir.filePath(figures.thumbnail));
    else
        notes << tr("cannot write %1").arg(image);

    figures.pickCount = window.acceptedPickCount();
    figures.share = labelShare(window.acceptedPickCount(), window.loadedRecordCount());
    figures.timeMax = window.timeAxisMax();
    figures.densityMax = window.densityScaleMax();
    figures.cellCount = window.densityCellCount();
    figures.matrixColumns = window.densityMatrixColumns();
    figures.matrixRows = window.densityMatrixRows();
}

void FileQc::judge(const FBPicks &picks, const QString &path, int index, FileReport &report,
                   PickTrend &trend)
{
    FileReport::TrendFigures &figures = report.trend;
    if (!trend.fit(picks)) {
        figures.error = trend.error();
        report.notes << tr("no trend: %1").arg(trend.error());
        return;
    }
    figures.csv = QStringLiteral("suspects/") + uniqueCsvName(path);
    QSaveFile csv(m_dir.filePath(figures.csv));
    if (!csv.open(QIODevice::WriteOnly)) {
        figures.error = tr("cannot write %1: %2").arg(csv.fileName(), csv.errorString());
        report.notes << figures.error;
        figures.csv.clear();
        return;
    }
    // Formatted by hand into one block: a noisy survey has suspects by the hundred thousand.
    QByteArray buffer("record,offset,time,class,residual\n");
    constexpr int Block = 1 << 20;
    constexpr int LineMax = 5 * 21;
    buffer.reserve(Block + LineMax);
    trend.judge(picks, [&](const PickTrend::Suspect &pick) {
        char line[LineMax];
        char *end = line;
        for (const qint64 value :
             {qint64(pick.record), qint64(pick.offset), qint64(pick.time), qint64(pick.fbClass)}) {
            end = std::to_chars(end, line + LineMax, value).ptr;
            *end++ = ',';
        }
        end = std::to_chars(end, line + LineMax, pick.residual).ptr;
        *end++ = '\n';
        buffer.append(line, int(end - line));
        if (buffer.size() >= Block) {
            csv.write(buffer);
            buffer.resize(0); // keeps the reserved block
        }
    });
    csv.write(buffer);
    if (!csv.commit()) {
        figures.error = tr("cannot write %1: %2").arg(csv.fileName(), csv.errorString());
        report.notes << figures.error;
    }

    figures.done = true;
    figures.judgedCount = trend.judgedCount();
    figures.suspectCount = trend.suspectCount();
    figures.suspectEarly = trend.suspectEarly();
    figures.suspectLate = trend.suspectLate();
    figures.suspectShare = trend.suspectShare();

    figures.histogram = QStringLiteral("images/%1-%2-residuals.png")
                            .arg(index + 1, 3, 10, QLatin1Char('0'))
                            .arg(QFileInfo(path).fileName());
    ResidualHistogram histogram(trend, m_options.suspectMs);
    if (!histogram.save(m_dir.filePath(figures.histogram)))
        report.notes << tr("cannot write %1").arg(m_dir.filePath(figures.histogram));
}

// <file name>.csv; a second input of the same name (from another folder) gets -2, and so on.
QString FileQc::uniqueCsvName(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QString candidate = name + QStringLiteral(".csv");
    for (int n = 2; m_csvNames.contains(candidate); ++n)
        candidate = QStringLiteral("%1-%2.csv").arg(name).arg(n);
    m_csvNames.insert(candidate);
    return candidate;
}

// On a terminal a line that updates in place; elsewhere (logs, tests) every tenth. The loader
// reports one step per record for fewer than 100 records, a percentage otherwise.
void FileQc::progress(int value)
{
    const int records = m_progressRecords;
    const int percent =
        qBound(0, records > 0 && records < 100 ? value * 100 / records : value, 100);
    if (percent == m_progressShown || (!m_tty && percent % 10 != 0))
        return;
    m_progressShown = percent;
    if (m_tty)
        std::fprintf(stderr, "\r%s: %s %3d%%", qPrintable(m_progressLabel),
                     qPrintable(tr("loading")), percent);
    else
        std::fprintf(stderr, "%s: %s %d%%\n", qPrintable(m_progressLabel),
                     qPrintable(tr("loading")), percent);
    std::fflush(stderr);
}

// What the file's work has come to after the load; a terminal shows it in place.
void FileQc::stage(const QString &what)
{
    std::fprintf(stderr, m_tty ? "\r\x1b[K%s: %s" : "%s: %s\n", qPrintable(m_progressLabel),
                 qPrintable(what));
    std::fflush(stderr);
}
