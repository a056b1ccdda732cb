#include "FBSynth.h"

#include "FBHeader.h"
#include "FBRecord.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// xoshiro256** seeded through splitmix64: fast, and the same sequence on every machine.
class Random
{
public:
    explicit Random(quint64 seed)
    {
        for (quint64 &word : s) {
            seed += 0x9E3779B97F4A7C15ull;
            quint64 z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            word = z ^ (z >> 31);
        }
    }
    quint64 next()
    {
        const quint64 result = rotl(s[1] * 5, 7) * 9;
        const quint64 t = s[1] << 17;
        s[2] ^= s[0];
        s[3] ^= s[1];
        s[1] ^= s[2];
        s[0] ^= s[3];
        s[2] ^= t;
        s[3] = rotl(s[3], 45);
        return result;
    }
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    // Irwin-Hall with four terms, scaled to unit variance: close enough to a Gaussian for pick
    // noise, and free of libm so the bytes do not depend on the C library.
    double normal() { return (uniform() + uniform() + uniform() + uniform() - 2.0) * 1.7320508; }

private:
    static quint64 rotl(quint64 x, int k) { return (x << k) | (x >> (64 - k)); }
    quint64 s[4];
};

void putInt(char *record, int position, qint32 value)
{
    qToLittleEndian<qint32>(value, record + position);
}

void putFloat(char *record, int position, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<quint32>(bits, record + position);
}

// Velocities in metres per millisecond and intercept times in milliseconds of a three-layer
// refraction model: the first break is the earliest of the three arrivals.
constexpr double DirectVelocity = 1.8;
constexpr double Refractor1Velocity = 3.2;
constexpr double Refractor1Intercept = 40.0;
constexpr double Refractor2Velocity = 5.5;
constexpr double Refractor2Intercept = 180.0;
constexpr double VelocitySpread = 0.06; // and the layer velocities by this fraction
constexpr int StationSpacing = 25;
constexpr int ShotSpacing = 50;

class Survey
{
public:
    explicit Survey(const FBSynthOptions &options)
        : m_options(options), m_random(options.seed),
          m_channels(2 * (std::max(1, options.maxOffset / StationSpacing)) + 1)
    {
        startShot();
    }

    void fillRecord(char *record)
    {
        if (m_channel == m_channels) {
            ++m_shot;
            startShot();
        }
        const int halfSpread = (m_channels - 1) / 2;
        const int inline_ = (m_channel - halfSpread) * StationSpacing;
        // Shots stand between receiver stations, so offsets are not all station multiples.
        const double along = inline_ - m_shotShift;
        const double distance = std::sqrt(along * along + m_crossline * m_crossline);
        qint32 offset = qint32(along < 0 ? -distance : distance);
        // Keep every offset inside the header's range, as a careful writer would.
        if (offset >= m_options.maxOffset)
            offset = m_options.maxOffset - 1;
        if (offset <= -m_options.maxOffset)
            offset = -(m_options.maxOffset - 1);
        const double a = std::abs(double(offset));
        const double v = m_velocityFactor;
        const double arrival =
            m_options.layers.empty()
                ? std::min({a / (DirectVelocity * v),
                            Refractor1Intercept + a / (Refractor1Velocity * v),
                            Refractor2Intercept + a / (Refractor2Velocity * v)})
                : FBSynth::plantedTime(m_options, a);
        double time = arrival + m_shotStatic + m_options.noise * m_random.normal();
        // Drawn only when asked for, so that the default survey keeps its bytes.
        if (m_options.wildShare > 0.0 && m_random.uniform() < m_options.wildShare)
            time += -150.0 + 550.0 * m_random.uniform();

        qint32 fbClass = m_random.uniform() < 0.3 ? 1 : 0;
        const double draw = m_random.uniform();
        if (draw < m_options.errorShare) {
            // Erroneous picks: cycle skips and noise bursts, far from the true arrival.
            fbClass = 2 + qint32(m_random.next() % 3);
            time += -150.0 + 550.0 * m_random.uniform();
        } else if (draw < m_options.errorShare + m_options.negativeClassShare) {
            fbClass = -1 - qint32(m_random.next() % 3);
        }

        std::memset(record, 0, FBRecord::Size);
        putInt(record, 0, 1000 + m_shot); // field record number
        putInt(record, 4, m_channel + 1); // channel
        FBRecord::setOffset(record, offset);
        putInt(record, 12, m_shotX); // source x, y (metres)
        putInt(record, 16, m_shotY);
        putInt(record, 20, m_shotX + inline_); // receiver x, y
        putInt(record, 24, m_shotY + qint32(m_crossline));
        putInt(record, 28, m_shotElevation); // elevations, decimetres
        putInt(record, 32, m_shotElevation + qint32(m_random.next() % 41) - 20);
        putInt(record, 36, m_shotX / StationSpacing); // source and receiver stations
        putInt(record, 40, (m_shotX + inline_) / StationSpacing);
        putFloat(record, 44, float(12.0 + 3.0 * m_random.uniform())); // uphole time, ms
        putInt(record, 48, 2);                                        // sample interval, ms
        putInt(record, 52, 3000);                                     // samples per trace
        putInt(record, 56, 0);
        FBRecord::setFbTime(record, float(time));
        FBRecord::setFbClass(record, fbClass);
        putFloat(record, 68, float(0.2 + 0.8 * m_random.uniform())); // pick amplitude
        putFloat(record, 72, float(fbClass >= 2 ? 0.2 : 0.9));       // pick confidence
        ++m_channel;
    }

private:
    void startShot()
    {
        m_channel = 0;
        m_shotX = 100000 + m_shot * ShotSpacing;
        m_shotY = 200000;
        m_crossline = 150.0 * m_random.uniform();
        m_shotShift = StationSpacing * m_random.uniform();
        m_shotStatic = m_options.staticAmplitude * (2.0 * m_random.uniform() - 1.0);
        const double spread = 1.0 + VelocitySpread * (2.0 * m_random.uniform() - 1.0);
        m_velocityFactor = m_options.layers.empty() ? spread : 1.0;
        m_shotElevation = 1200 + qint32(m_random.next() % 200);
    }

    const FBSynthOptions &m_options;
    Random m_random;
    int m_channels;
    int m_channel = 0;
    qint32 m_shot = 0;
    qint32 m_shotX = 0;
    qint32 m_shotY = 0;
    qint32 m_shotElevation = 0;
    double m_crossline = 0.0;
    double m_shotShift = 0.0;
    double m_shotStatic = 0.0;
    double m_velocityFactor = 1.0;
};

} // namespace

QString FBSynth::validate(const FBSynthOptions &options)
{
    if (options.records < 0)
        return QStringLiteral("the record count must not be negative");
    if (options.records > std::numeric_limits<qint32>::max() && !options.forgeRecordCount)
        return QStringLiteral("more records than a header can announce; forge the count");
    if (!(options.errorShare >= 0.0 && options.negativeClassShare >= 0.0 &&
          options.errorShare + options.negativeClassShare <= 1.0))
        return QStringLiteral("the error and negative-class shares must lie in 0..1 together");
    if (options.maxOffset < 2)
        return QStringLiteral("the largest offset must be at least 2 m");
    if (!(options.noise >= 0.0 && options.noise <= 1000.0 && options.staticAmplitude >= 0.0 &&
          options.staticAmplitude <= 1000.0))
        return QStringLiteral("the noise and statics must lie in 0..1000 ms");
    if (!(options.wildShare >= 0.0 && options.wildShare <= 1.0))
        return QStringLiteral("the wild share must lie in 0..1");
    if (options.layers.size() > 4)
        return QStringLiteral("at most 4 layers");
    if (!(options.intercept >= -1000.0 && options.intercept <= 1000.0))
        return QStringLiteral("the intercept must lie in -1000..1000 ms");
    for (size_t k = 0; k < options.layers.size(); ++k) {
        const FBSynthLayer &layer = options.layers[k];
        if (!(layer.velocity >= 100.0 && layer.velocity <= 20000.0))
            return QStringLiteral("layer velocities must lie in 100..20000 m/s");
        if (k > 0 && !(layer.fromOffset > options.layers[k - 1].fromOffset &&
                       layer.fromOffset < options.maxOffset))
            return QStringLiteral("crossovers must increase and stay below the largest offset");
    }
    return QString();
}

double FBSynth::plantedTime(const FBSynthOptions &options, double x)
{
    double time = options.intercept;
    const auto &layers = options.layers;
    for (size_t k = 0; k < layers.size(); ++k) {
        const double from = k == 0 ? 0.0 : layers[k].fromOffset;
        const double to = k + 1 < layers.size() ? layers[k + 1].fromOffset : x;
        if (x <= from)
            break;
        time += 1000.0 * (std::min(x, to) - from) / layers[k].velocity;
    }
    return time;
}

bool FBSynth::write(const QString &fileName, const FBSynthOptions &options,
                    const Progress &progress, QString *errorString)
{
    auto fail = [errorString](const QString &message) {
        if (errorString)
            *errorString = message;
        return false;
    };
    const QString invalid = validate(options);
    if (!invalid.isEmpty())
        return fail(invalid);

    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(file.errorString());

    FBHeader header;
    header.recordCount =
        options.forgeRecordCount ? options.headerRecordCount : qint32(options.records);
    header.word1 = FBRecord::Size;
    header.offsetLow = options.forgeOffsetLow ? options.headerOffsetLow : 0;
    header.offsetHigh = options.forgeOffsetHigh ? options.headerOffsetHigh : options.maxOffset;
    char headerBytes[FBHeader::Size];
    header.write(headerBytes);
    if (file.write(headerBytes, FBHeader::Size) != FBHeader::Size)
        return fail(file.errorString());

    constexpr qint64 BlockRecords = 8192;
    std::vector<char> block(BlockRecords * FBRecord::Size);
    Survey survey(options);
    qint64 written = 0;
    qint64 nextReport = 0;
    while (written < options.records) {
        const qint64 n = std::min(BlockRecords, options.records - written);
        for (qint64 k = 0; k < n; ++k)
            survey.fillRecord(block.data() + k * FBRecord::Size);
        const qint64 bytes = n * FBRecord::Size;
        if (file.write(block.data(), bytes) != bytes)
            return fail(file.errorString());
        written += n;
        if (progress && written >= nextReport) {
            progress(written, options.records);
            nextReport = written + options.records / 100 + 1;
        }
    }
    if (progress && options.records == 0)
        progress(0, 0);
    if (!file.flush())
        return fail(file.errorString());
    return true;
}
