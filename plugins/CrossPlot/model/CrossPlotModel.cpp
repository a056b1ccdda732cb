#include "CrossPlotModel.h"

#include "DrawNotice.h"
#include "FBPickDetails.h"
#include "FBPickStore.h"
#include "FBRecord.h"
#include "FBRecordScanner.h"

#include <QJsonValue>
#include <memory>
#include <utility>
#include <vector>

double CrossPlotFigures::share() const
{
    const float share = recordCount != 0 ? 100.0f * float(pickCount) / float(recordCount) : 0.0f;
    return QString::number(double(share), 'f', 2).toDouble();
}

QJsonObject CrossPlotFigures::toJson() const
{
    // Counts beyond the int range go out as numbers too: JSON doubles hold them exactly up to 2^53.
    return QJsonObject{{QStringLiteral("recordCount"), recordCount},
                       {QStringLiteral("offsetLow"), offsetLow},
                       {QStringLiteral("offsetHigh"), offsetHigh},
                       {QStringLiteral("pickCount"), pickCount},
                       {QStringLiteral("timeMax"), timeMax},
                       {QStringLiteral("cellCount"), double(cellCount)},
                       {QStringLiteral("densityMax"), densityMax},
                       {QStringLiteral("matrixColumns"), matrixColumns},
                       {QStringLiteral("matrixRows"), matrixRows}};
}

QByteArray CrossPlotFigures::toJsonLine() const
{
    // QJsonObject sorts its keys; the line keeps the order in which the figures are told.
    const QJsonObject json = toJson();
    QByteArray line("{");
    for (const char *key : {"recordCount", "offsetLow", "offsetHigh", "pickCount", "timeMax",
                            "cellCount", "densityMax", "matrixColumns", "matrixRows"}) {
        if (line.size() > 1)
            line += ", ";
        line += '"' + QByteArray(key) + "\": " +
                QByteArray::number(qint64(json.value(QLatin1String(key)).toDouble()));
    }
    return line + '}';
}

CrossPlotModel::CrossPlotModel(const CrossPlotParam &param) : m_param(param) {}

CrossPlotModel::~CrossPlotModel() = default;

void CrossPlotModel::readHeader(const FBHeader *known)
{
    m_loader.reset(new FBLoader(m_param.fbName, FBPickFilter::of(m_param)));
    if (known)
        m_loader->readHeader(m_picks, *known);
    else
        m_loader->readHeader(m_picks);
}

void CrossPlotModel::readRecords(const Progress &progress)
{
    if (!m_loader)
        readHeader();
    m_loader->readRecords(m_picks, progress);
    m_loader.reset();
    m_pickNotice = DrawNotice::forPicks(m_picks);
}

void CrossPlotModel::load(const Progress &progress)
{
    readHeader();
    readRecords(progress);
}

void CrossPlotModel::loadByClass(CrossPlotModel &correct, CrossPlotModel &error,
                                 const Progress &progress, const FBHeader *known,
                                 FBPickDetails *correctDetails)
{
    FBPickFilter filter = FBPickFilter::of(correct.m_param);
    filter.plotAllFB = true;
    filter.splitClasses = true;
    filter.keepDetails = correctDetails != nullptr;
    FBLoader loader(correct.m_param.fbName, filter);
    FBPicks picks[2];
    if (known)
        loader.readHeader(picks[0], *known);
    else
        loader.readHeader(picks[0]);
    picks[1] = picks[0];
    {
        const qint64 expected = loader.recordsToRead();
        if (correctDetails)
            correctDetails->reserve(expected);
        FBPickStore store[2] = {{picks[0], expected, FBLoader::MaxStoredPicks, false},
                                {picks[1], expected, FBLoader::MaxStoredPicks, false}};
        // The scan deals each block's picks by class; the Correct picks' details are encoded on
        // the worker that scanned them, into the block's slot, so that the storing thread only
        // copies.
        std::vector<FBPickDetails::Chunk> perSlot(static_cast<size_t>(loader.slotCount()));
        const qint64 unread = loader.readBlocks(
            [&](const FBPickBlock &block, int slot) {
                if (correctDetails)
                    perSlot[size_t(slot)].encode(block, block.count);
            },
            [&](const FBPickBlock &block, int slot) {
                // The details' memory is asked for first (reserve() above): an eighth of what
                // the picks take, and picks without them would not be judged. They are kept for
                // the picks that then find room, so that both stay the first ones.
                if (correctDetails && block.count > 0)
                    correctDetails->append(perSlot[size_t(slot)]);
                store[0].append(block);
                store[1].append(*block.errors);
                if (correctDetails)
                    correctDetails->truncate(picks[0].offsets.size());
            },
            progress,
            [&store] {
                store[0].prepareAhead();
                store[1].prepareAhead();
            });
        // Records left unread may have held picks of either class.
        store[0].addUnreadRecords(unread);
        store[1].addUnreadRecords(unread);
        // Records past the end of the file read as class 0: Correct.
        store[0].addZeroPicks(loader.zeroPicks());
    }
    picks[0].recordsInFile = picks[1].recordsInFile = loader.wholeRecords();
    correct.setPicks(std::move(picks[0]));
    error.setPicks(std::move(picks[1]));
}

void CrossPlotModel::setPicks(FBPicks picks)
{
    m_picks = std::move(picks);
    m_pickNotice = DrawNotice::forPicks(m_picks);
}

void CrossPlotModel::releasePicks()
{
    m_picks.offsets = QVector<int>();
    m_picks.fbTimes = QVector<int>();
    m_picks.records = QVector<int>();
    m_picks.classes = QVector<int>();
}

void CrossPlotModel::buildGrid()
{
    setGrid(DensityGrid::build(m_picks.offsets, m_picks.fbTimes, m_picks.offsetLow,
                               m_picks.offsetHigh, m_picks.zeroPicks));
}

void CrossPlotModel::setGrid(DensityGrid::Result grid)
{
    m_grid = std::move(grid);
    m_hasGrid = true;
    m_gridNotice = DrawNotice::forGrid(m_grid);
}

bool CrossPlotModel::buildMatrix(int pointSize)
{
    // Without a grid there is nothing to resample, and the grid's notice has said why.
    DensityMatrix matrix;
    if (m_gridNotice.isEmpty())
        matrix = DensityGrid::resample(m_grid, m_picks.offsetLow, m_picks.offsetHigh, pointSize);
    m_matrixNotice = DrawNotice::forMatrix(matrix, pointSize);
    if (!m_matrixNotice.isEmpty()) {
        // What is shown stays shown; without an earlier matrix there is none at all.
        if (!m_hasMatrix)
            m_matrix = DensityMatrix();
        return false;
    }
    m_matrix = std::move(matrix);
    m_hasMatrix = true;
    return true;
}

QString CrossPlotModel::notice() const
{
    return figures().notices.join(QLatin1String("\n\n"));
}

CrossPlotFigures CrossPlotModel::figures() const
{
    CrossPlotFigures figures;
    figures.recordCount = m_picks.recordCount;
    figures.offsetLow = m_picks.offsetLow;
    figures.offsetHigh = m_picks.offsetHigh;
    figures.pickCount = m_picks.pickCount;
    figures.timeMax = m_grid.timeMax;
    figures.cellCount = m_grid.cellCount;
    figures.densityMax = m_grid.densityMax;
    figures.matrixColumns = m_matrix.columns;
    figures.matrixRows = m_matrix.rows;
    for (const QString &notice : {m_pickNotice, m_gridNotice, m_matrixNotice}) {
        if (!notice.isEmpty())
            figures.notices << notice;
    }
    return figures;
}
