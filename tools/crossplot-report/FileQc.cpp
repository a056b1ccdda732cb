#include "FileQc.h"

#include "CommandLine.h"
#include "CrossPlotMap.h"
#include "FBHeader.h"
#include "FBLoader.h"
#include "FBPickDetails.h"
#include "FBRecord.h"
#include "FBRecordScanner.h"
#include "InputCheck.h"
#include "MemoryAdmission.h"
#include "OrderedPool.h"
#include "ParallelShares.h"
#include "PickTrend.h"
#include "PngFile.h"
#include "RefractorModel.h"
#include "RefractorTally.h"
#include "ResidualHistogram.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <future>
#include <limits>
#include <new>
#include <system_error>
#include <thread>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <unistd.h>

namespace {

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

// The near-surface model over a crossplot: each layer's line across its span, in magenta, which
// neither the density colours nor the trend's black take, labelled with its velocity.
void drawRefractor(QwtPlot *plot, const RefractorModel &model)
{
    const QColor colour(Qt::magenta);
    for (const RefractorModel::Layer &layer : model.layers()) {
        auto *curve = new QwtPlotCurve(FileQc::tr("Refractor"));
        curve->setPen(colour, 2.0);
        curve->setRenderHint(QwtPlotItem::RenderAntialiased);
        curve->setSamples(QVector<QPointF>{
            {layer.fromOffset, model.timeAt(layer.fromOffset)},
            {layer.toOffset, model.timeAt(layer.toOffset)}});
        curve->attach(plot); // the plot deletes it
        const double middle = (layer.fromOffset + layer.toOffset) / 2.0;
        QwtText label(FileQc::tr("%1 m/s").arg(qRound(layer.velocity)));
        label.setColor(colour.darker(150));
        label.setBackgroundBrush(QColor(255, 255, 255, 200));
        QFont font;
        font.setBold(true);
        label.setFont(font);
        auto *marker = new QwtPlotMarker;
        marker->setValue(middle, model.timeAt(middle));
        // Above the line, where the layer's later picks do not lie, and towards the plot's
        // middle, so that a short first layer's label stays on the canvas.
        const bool leftHalf = 2.0 * middle < model.layers().constLast().toOffset;
        marker->setLabelAlignment(Qt::AlignTop | (leftHalf ? Qt::AlignRight : Qt::AlignLeft));
        marker->setLabel(label);
        marker->attach(plot);
    }
    plot->replot();
}

// Writes value in decimal at to, at most 20 characters, and returns their end: the length first,
// then two digits at a time from a table, straight into place. The suspects' lines of a noisy
// survey run to tens of millions, and std::to_chars took most of their time.
char *writeDecimal(char *to, qint64 value)
{
    static const char pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233"
                                "34353637383940414243444546474849505152535455565758596061626364656667"
                                "6869707172737475767778798081828384858687888990919293949596979899";
    quint64 rest = quint64(value);
    if (value < 0) {
        *to++ = '-';
        rest = 0 - rest; // defined for the smallest value too
    }
    int length = 1;
    for (quint64 bound = 10; length < 20 && rest >= bound; bound *= 10)
        ++length;
    char *const end = to + length;
    char *first = end;
    while (rest >= 100) {
        first -= 2;
        std::memcpy(first, pairs + 2 * (rest % 100), 2);
        rest /= 100;
    }
    if (rest >= 10)
        std::memcpy(first - 2, pairs + 2 * rest, 2);
    else
        first[-1] = char('0' + rest);
    return end;
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
    CrossPlotParam param;
    param.fbName = path;
    param.minOffset = m_options.minOffset;
    param.maxOffset = m_options.maxOffset;
    auto models = std::make_unique<ClassModels>(param);
    // The Correct picks' records and classes, for the suspects: the file is read once.
    auto details = std::make_unique<FBPickDetails>();
    if (!load(*models, m_options.trend ? details.get() : nullptr, report))
        return;
    report.readable = true;
    report.hasClasses = true;
    CrossPlotModel &correct = *models->correct;
    CrossPlotModel &error = *models->error;

    PickTrend trend(correct.offsetLow(), m_options.trendBin, m_options.suspectMs);
    RefractorModel refractor;
    if (m_options.trend) {
        stage(tr("trend"));
        if (!trend.fit(correct.picks())) {
            report.trend.error = trend.error();
            report.notes << tr("no trend: %1").arg(trend.error());
        }
    }
    // The near-surface model is fitted, and the suspects are judged and written, on other
    // threads while this one counts the grids; the drawing waits for the model only. The
    // suspects' notes come after the model's and before the drawing's.
    QStringList suspectNotes;
    std::unique_ptr<QFile> csv;
    std::exception_ptr modelFailure; // set before the model is told fitted, failure after
    std::exception_ptr failure;
    const bool trended = m_options.trend && report.trend.error.isEmpty();
    bool fitted = false;
    std::promise<void> modelled;
    std::thread judging;
    struct Joiner
    {
        std::thread &thread;
        ~Joiner()
        {
            if (thread.joinable())
                thread.join();
        }
    } joiner{judging};
    if (trended) {
        stage(tr("suspects"));
        csv = openSuspects(path, report);
        report.trend.done = bool(csv);
        const auto run = [&, picks = correct.picks(), judged = bool(csv)] {
            try {
                fitted = trend.fitRefractor(refractor);
            } catch (...) {
                modelFailure = std::current_exception();
            }
            modelled.set_value();
            if (modelFailure || !judged)
                return;
            try {
                judge(*csv, report.trend, suspectNotes, trend, refractor, picks, *details);
            } catch (...) {
                failure = std::current_exception();
            }
        };
        try {
            judging = std::thread(run);
        } catch (const std::system_error &) {
            run();
        }
    } else {
        modelled.set_value();
    }
    // The picks are needed no further once their grids are counted: Both is the cell-wise sum
    // of the two classes' grids, as a window over all the picks would count it.
    correct.buildGrid();
    error.buildGrid();
    models->both->setGrid(DensityGrid::sum(correct.grid(), error.grid(), correct.offsetLow(),
                                           correct.offsetHigh()));
    error.releasePicks();
    correct.releasePicks();

    modelled.get_future().wait();
    if (modelFailure)
        std::rethrow_exception(modelFailure);
    if (trended && !fitted)
        report.notes << refractor.reason();

    const PickTrend *shown = report.trend.done ? &trend : nullptr;
    stage(tr("drawing"));
    const RefractorModel *model = shown && refractor.isValid() ? &refractor : nullptr;
    QStringList drawingNotes;
    drawClass(std::move(models->correct), path, index, "correct", shown, model, report.correct,
              drawingNotes);
    drawClass(std::move(models->error), path, index, "error", nullptr, nullptr, report.error,
              drawingNotes);
    drawClass(std::move(models->both), path, index, "both", nullptr, nullptr, report.both,
              drawingNotes);
    if (judging.joinable())
        judging.join();
    details.reset();
    if (failure) {
        csv->remove();
        std::rethrow_exception(failure);
    }
    if (csv)
        saveHistogram(path, index, report.trend, trend, suspectNotes);
    report.notes << suspectNotes << drawingNotes;
}

// The dialog's checks and messages, and our own for what its file-name test keeps out.
bool FileQc::check(const QString &path, FileReport &report)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        // A folder given for its FB files that holds none, or an entry that only has the name
        // of one.
        const bool named = QStringList{QStringLiteral("fb"), QStringLiteral("cal"),
                                       QStringLiteral("fit")}
                               .contains(info.suffix(), Qt::CaseInsensitive);
        report.refusal =
            named ? tr("a folder, not an FB file") : tr("no FB files in %1").arg(path);
        return false;
    }
    if (info.isFile() && info.size() == 0) {
        report.refusal = tr("the file is empty");
        return false;
    }
    CrossPlotParam param;
    param.fbName = path;
    param.minOffset = m_options.minOffset;
    param.maxOffset = m_options.maxOffset;
    m_check = InputCheck::of(param);
    const InputCheck &check = m_check;
    if (check.problem != InputCheck::OpenFile) {
        report.recordCount = check.header.recordCount;
        report.offsetLow = check.header.offsetLow;
        report.offsetHigh = check.header.offsetHigh;
        // A pipe's size is known once it is read; the load tells it then.
        report.recordsInFile = qMax<qint64>(0, (check.fileSize - FBHeader::Size) / FBRecord::Size);
        report.truncated = !check.sequential && check.header.recordCount > report.recordsInFile;
    }
    if (!check.passed()) {
        report.refusal = CommandLine::explained(check);
        return false;
    }
    report.legal = true;
    if (report.recordCount < 0)
        report.notes << tr("the header announces a negative record count (%1): no record is read")
                            .arg(report.recordCount);
    if (report.truncated)
        noteTruncation(report);
    return true;
}

void FileQc::noteTruncation(FileReport &report)
{
    report.notes << tr("truncated: the header announces %L1 records, the file holds %L2; the "
                       "missing ones read as picks at 0 m, 0 ms")
                        .arg(report.recordCount)
                        .arg(report.recordsInFile);
}

// The one read of the file's picks, for both classes.
bool FileQc::load(ClassModels &models, FBPickDetails *details, FileReport &report)
{
    progress(0);
    try {
        // The progress values count records below 100 records; the header tells how many.
        m_progressRecords = report.recordCount;
        // A pipe's header was read by its check.
        CrossPlotModel::loadByClass(
            *models.correct, *models.error, [this](int value) { progress(value); },
            m_check.sequential ? &m_check.header : nullptr, details);
    } catch (const std::bad_alloc &) {
        report.notes << tr("not enough memory to read its picks");
        return false;
    }
    report.offsetLow = models.correct->offsetLow();
    report.offsetHigh = models.correct->offsetHigh();
    if (m_check.sequential) {
        report.recordsInFile = models.correct->recordsInFile();
        report.truncated = report.recordCount > report.recordsInFile;
        if (report.truncated)
            noteTruncation(report);
    }

    qint64 wild = 0;
    for (const CrossPlotModel *model : {models.correct.get(), models.error.get()}) {
        const QVector<int> &times = model->picks().fbTimes;
        std::atomic<qint64> found{0};
        runShares(times.size(), sharesFor(times.size()), [&](int, qint64 first, qint64 last) {
            qint64 mine = 0;
            for (qint64 i = first; i < last; ++i)
                mine += times[int(i)] < -WildTimeMs || times[int(i)] > WildTimeMs;
            found += mine;
        });
        wild += found;
    }
    if (wild > 0)
        report.notes
            << tr("wild times: %L1 picks lie beyond \u00b1%L2 ms").arg(wild).arg(WildTimeMs);

    // Both holds no picks of its own: only their counts, for its figures and notices.
    FBPicks both;
    const FBPicks &correct = models.correct->picks();
    const FBPicks &error = models.error->picks();
    both.recordCount = correct.recordCount;
    both.offsetLow = correct.offsetLow;
    both.offsetHigh = correct.offsetHigh;
    const auto sum = [](int a, int b) {
        return int(qMin<qint64>(qint64(a) + b, std::numeric_limits<int>::max()));
    };
    both.pickCount = sum(correct.pickCount, error.pickCount);
    both.zeroPicks = correct.zeroPicks;
    both.droppedPicks = sum(correct.droppedPicks, error.droppedPicks);
    models.both->setPicks(both);
    return true;
}

void FileQc::drawClass(std::unique_ptr<CrossPlotModel> model, const QString &path, int index,
                       const char *className, const PickTrend *trend,
                       const RefractorModel *refractor, FileReport::ClassFigures &figures,
                       QStringList &notes)
{
    // As crossplot-render does: the window starts at the dialog's point size, and other sizes
    // go through its own control.
    CrossPlotMap window(std::move(model));
    window.setPointSize(m_options.pointSize);
    if (trend)
        drawTrend(window.plotWidget(), *trend);
    if (refractor)
        drawRefractor(window.plotWidget(), *refractor);
    window.resize(window.minimumSize());
    window.show();
    QCoreApplication::processEvents();

    const QString name = QLatin1String(className);
    const QString stem = QStringLiteral("images/%1-%2-%3")
                             .arg(index + 1, 3, 10, QLatin1Char('0'))
                             .arg(QFileInfo(path).fileName(), name);
    figures.image = stem + QStringLiteral(".png");
    figures.thumbnail = stem + QStringLiteral("-small.png");
    const QString image = m_dir.filePath(figures.image);
    const QImage plot = window.plotImage().toImage();
    QString error;
    if (!PngFile::write(plot, image, &error) ||
        !PngFile::write(plot.scaledToWidth(ThumbnailWidth, Qt::SmoothTransformation),
                        m_dir.filePath(figures.thumbnail), &error))
        notes << tr("cannot write %1: %2").arg(image, error);

    figures.figures = window.figures();
    // What could not be drawn, said for the class it concerns.
    const QString caption = name == QLatin1String("correct") ? tr("Correct")
                            : name == QLatin1String("error") ? tr("Error")
                                                              : tr("Both");
    for (const QString &notice : figures.figures.notices)
        notes << tr("%1: %2").arg(caption, notice);
}

// The suspect list's file, or none, with the error in the figures and the notes. An earlier
// list of the same name is cut when the judging begins (not here: cutting it takes a while, and
// the judging runs beside the drawing), so that a report made again into its folder writes
// into the pages the old list gives back; replacing it at the end cost a second of a
// 100,000,000-record report. Nor is it synced to disk: a report is made again in seconds, and
// syncing its largest file took longer than judging its picks.
std::unique_ptr<QFile> FileQc::openSuspects(const QString &path, FileReport &report)
{
    FileReport::TrendFigures &figures = report.trend;
    figures.csv = QStringLiteral("suspects/") + uniqueCsvName(path);
    const QString name = m_dir.filePath(figures.csv);
    std::unique_ptr<QFile> csv(new QFile(name));
    if (!csv->open(QIODevice::ReadWrite)) {
        figures.error = tr("cannot write %1: %2").arg(name, csv->errorString());
        report.notes << figures.error;
        figures.csv.clear();
        return nullptr;
    }
    return csv;
}

// Judges the stored Correct picks against the trend, with the records and classes the load kept
// for them, and writes the suspects to csv. Touches nothing of this object's but its options, so
// that it can run beside the drawing.
void FileQc::judge(QFile &csv, FileReport::TrendFigures &figures, QStringList &notes,
                   PickTrend &trend, const RefractorModel &refractor, const FBPicks &correct,
                   const FBPickDetails &details) const
{
    // Picks that memory could not keep, or keep the details of, are not judged; say how many.
    const qint64 unjudged = qint64(correct.pickCount) - correct.zeroPicks - details.pickCount();
    if (unjudged > 0)
        notes << tr("suspects: %L1 Correct picks that did not fit in memory are not judged")
                            .arg(unjudged);
    // The suspects of each block are formatted on the thread that judged it, and written in
    // file order: a noisy survey has suspects by the million, and their lines were most of the
    // trend's time. A window slot holds one block's lines at most.
    constexpr int LineMax = 5 * 21;
    const auto format = [](const PickTrend::Suspect &pick, char *to) {
        to = writeDecimal(to, pick.record);
        *to++ = ',';
        to = writeDecimal(to, pick.offset);
        *to++ = ',';
        to = writeDecimal(to, pick.time);
        *to++ = ',';
        to = writeDecimal(to, pick.fbClass);
        *to++ = ',';
        to = writeDecimal(to, pick.residual);
        *to++ = '\n';
        return to;
    };
    // A lane's judgement and tally count on across the blocks it judges, and are added up at the
    // end; each lane on a cache line of its own, as they count pick by pick.
    struct alignas(64) Lane
    {
        explicit Lane(int picks) : block(picks, true) {}
        PickTrend::Judgement judgement;
        std::unique_ptr<RefractorTally> tally;
        FBPickBlock block;
        std::vector<PickTrend::Suspect> suspects;
    };
    std::unique_ptr<RefractorTally> tally(refractor.isValid() ? new RefractorTally(refractor)
                                                              : nullptr);
    // As many lanes as the load has threads, and as memory admits: each holds a block's details,
    // suspects and lines, and its tally.
    int largest = 0;
    for (int k = 0; k < details.chunkCount(); ++k)
        largest = qMax(largest, details.chunk(k).count);
    const qint64 laneBytes = qint64(largest) * (2 * qint64(sizeof(int)) +
                                               qint64(sizeof(PickTrend::Suspect)) + 2 * LineMax) +
                             RefractorTally::Steps * qint64(sizeof(qint64));
    MemoryAdmission::Grant lanesGrant;
    int lanes = qBound(1, qMin(FBLoader::defaultThreadCount(), details.chunkCount()),
                       int(qMin<qint64>(256, MemoryAdmission::available() / laneBytes / 2)));
    while (lanes > 1 && !lanesGrant.extend(lanes * laneBytes))
        lanes /= 2;
    std::vector<std::unique_ptr<Lane>> perLane(static_cast<size_t>(lanes));
    const int window = 2 * lanes;
    std::vector<QByteArray> lines(static_cast<size_t>(window));
    csv.resize(0);
    csv.write("record,offset,time,class,residual\n");
    OrderedPool::run(
        details.chunkCount(), lanes, window,
        [&](int item, int lane) {
            std::unique_ptr<Lane> &mine = perLane[size_t(lane)];
            if (!mine) {
                mine.reset(new Lane(largest));
                if (tally)
                    mine->tally.reset(new RefractorTally(tally->fresh()));
                mine->judgement.tally = mine->tally.get();
            }
            const FBPickDetails::Chunk &chunk = details.chunk(item);
            FBPickBlock &block = mine->block;
            chunk.decode(block);
            mine->suspects.clear();
            trend.judge(correct.offsets.constData() + chunk.firstPick,
                        correct.fbTimes.constData() + chunk.firstPick, block.records.get(),
                        block.classes.get(), chunk.count, mine->judgement, &mine->suspects);
            QByteArray &to = lines[size_t(item % window)];
            to.resize(int(mine->suspects.size()) * LineMax); // grows to one block's lines at most
            char *end = to.data();
            for (const PickTrend::Suspect &pick : mine->suspects)
                end = format(pick, end);
            to.resize(int(end - to.constData()));
        },
        [&](int item) { csv.write(lines[size_t(item % window)]); });
    for (const std::unique_ptr<Lane> &lane : perLane) {
        if (!lane)
            continue;
        trend.add(lane->judgement);
        if (tally)
            tally->add(*lane->tally);
    }
    QByteArray buffer;
    trend.judgeZeroPicks(correct.zeroPicks, qint64(correct.recordCount) - correct.zeroPicks,
                         [&](const PickTrend::Suspect &pick) {
                             char line[LineMax];
                             buffer.append(line, int(format(pick, line) - line));
                         },
                         tally.get());
    csv.write(buffer);
    csv.close();
    if (csv.error() != QFileDevice::NoError) {
        figures.error = tr("cannot write %1: %2").arg(csv.fileName(), csv.errorString());
        notes << figures.error;
        csv.remove();
    }

    figures.judgedCount = trend.judgedCount();
    figures.suspectCount = trend.suspectCount();
    figures.suspectEarly = trend.suspectEarly();
    figures.suspectLate = trend.suspectLate();
    figures.suspectShare = trend.suspectShare();
    figures.residualSpread = trend.residualSpread();
    if (tally) {
        figures.refractor = refractor.toJson(*tally);
        figures.refractorLine = FileReport::refractorLine(refractor);
        figures.firstVelocity = refractor.layers().constFirst().velocity;
        figures.lastVelocity = refractor.layers().constLast().velocity;
    }

}

void FileQc::saveHistogram(const QString &path, int index, FileReport::TrendFigures &figures,
                           const PickTrend &trend, QStringList &notes)
{
    figures.histogram = QStringLiteral("images/%1-%2-residuals.png")
                            .arg(index + 1, 3, 10, QLatin1Char('0'))
                            .arg(QFileInfo(path).fileName());
    ResidualHistogram histogram(trend, m_options.suspectMs);
    if (!histogram.save(m_dir.filePath(figures.histogram)))
        notes << tr("cannot write %1").arg(m_dir.filePath(figures.histogram));
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
