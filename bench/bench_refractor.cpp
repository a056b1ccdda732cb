// Fits the refractor model to many random planted surveys and says how often it finds the planted
// model, and how long the fit takes.
//
// Usage: bench_refractor [SURVEYS [FIRST_SEED [bins|picks|centres [MAX_OFFSET]]]]   (default 100
// surveys from seed 1, receivers to 3000 m). The bins stand at the mean offset of their picks; with "centres" at their centres.
// With "picks", every Correct pick is also fitted as a point of its own, for comparison.
// Files go to /tmp and are deleted after each survey.

#include "FBLoader.h"
#include "FBRecord.h"
#include "FBSynth.h"
#include "PickTrend.h"
#include "RefractorModel.h"
#include "RefractorTally.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>

namespace {

struct Outcome
{
    bool pass = false;
    double ms = 0.0;
    QString said;
};

// The acceptance checks: layer count, velocities within 2 % (5 % below 300 m), crossovers
// within 30 m, first intercept within 4 ms.
Outcome check(const RefractorModel &model, const FBSynthOptions &planted, double ms)
{
    Outcome outcome;
    outcome.ms = ms;
    QStringList said;
    for (const RefractorModel::Layer &layer : model.layers())
        said << QString::asprintf("%.0f@%.0f", layer.velocity, layer.fromOffset);
    outcome.said = model.isValid() ? said.join(' ') + QString::asprintf(" | %.1f",
                                                                         model.layers()[0].intercept)
                                   : model.reason();
    const auto &layers = planted.layers;
    if (model.layers().size() != int(layers.size()))
        return outcome;
    for (size_t k = 0; k < layers.size(); ++k) {
        const RefractorModel::Layer &fitted = model.layers()[int(k)];
        const double to = k + 1 < layers.size() ? layers[k + 1].fromOffset : planted.maxOffset;
        const double share = to - layers[k].fromOffset >= 300 ? 0.02 : 0.05;
        if (std::abs(fitted.velocity - layers[k].velocity) > share * layers[k].velocity)
            return outcome;
        if (k > 0 && std::abs(fitted.fromOffset - layers[k].fromOffset) > 30)
            return outcome;
    }
    outcome.pass = std::abs(model.layers()[0].intercept - planted.intercept) <= 4;
    return outcome;
}

// This thread's processor time, ms: the fit's own cost, apart from the other loads of a shared
// machine that its wall time also takes in.
double cpuMs()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[(values.size() - 1) / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int surveys = args.size() > 1 ? args[1].toInt() : 100;
    const int firstSeed = args.size() > 2 ? args[2].toInt() : 1;
    const bool alsoPicks = args.size() > 3 && args[3] == "picks";
    const bool centres = args.size() > 3 && args[3] == "centres";
    const int maxOffset = args.size() > 4 ? args[4].toInt() : 3000;
    const QString file = QStringLiteral("/tmp/bench_refractor_%1.fb").arg(app.applicationPid());

    int passBins = 0, passPicks = 0;
    std::vector<double> binMs, binCpuMs, pickMs, tallyNs;
    for (int s = 0; s < surveys; ++s) {
        // A survey within the acceptance envelope.
        std::mt19937_64 random(quint64(firstSeed + s));
        const auto uniform = [&random](double low, double high) {
            return std::uniform_real_distribution<double>(low, high)(random);
        };
        FBSynthOptions options;
        options.seed = quint64(firstSeed + s);
        options.records = qint64(uniform(200000, 500000));
        options.noise = uniform(0, 4);
        options.wildShare = uniform(0, 0.08);
        options.errorShare = uniform(0, 0.05);
        options.staticAmplitude = uniform(0, 15);
        options.intercept = uniform(0, 40);
        options.maxOffset = maxOffset;
        const int count = 1 + int(random() % 4);
        // Crossovers at least 100 m apart and from both ends of the 3000 m spread.
        std::vector<double> crossovers;
        while (int(crossovers.size()) < count - 1) {
            crossovers.clear();
            for (int k = 1; k < count; ++k)
                crossovers.push_back(std::round(uniform(100, maxOffset - 100)));
            std::sort(crossovers.begin(), crossovers.end());
            for (size_t k = 0; k < crossovers.size(); ++k)
                if ((k > 0 && crossovers[k] - crossovers[k - 1] < 100) ||
                    (k + 1 == crossovers.size() && maxOffset - 1 - crossovers[k] < 100)) {
                    crossovers.push_back(-1); // rejected: draw again
                    break;
                }
            if (int(crossovers.size()) != count - 1)
                crossovers.clear();
        }
        double velocity = std::round(uniform(1200, 2500));
        for (int k = 0; k < count; ++k) {
            options.layers.push_back({velocity, k == 0 ? 0.0 : crossovers[size_t(k - 1)]});
            velocity = std::round(velocity * uniform(1.5, 2.0));
        }
        QString error;
        if (!FBSynth::write(file, options, {}, &error)) {
            std::fprintf(stderr, "bench_refractor: %s\n", qPrintable(error));
            return 1;
        }

        FBPickFilter filter;
        filter.plotAllFB = filter.keepDetails = true;
        FBLoader loader(file, filter);
        FBPicks picks;
        loader.readHeader(picks);
        loader.readRecords(picks);
        QFile::remove(file);
        // The trend of the Correct picks alone, as the report takes it.
        FBPicks correct;
        correct.offsetLow = picks.offsetLow;
        correct.zeroPicks = picks.zeroPicks;
        for (int i = 0; i < picks.offsets.size(); ++i)
            if (!FBRecord::isErrorClass(picks.classes.at(i))) {
                correct.offsets.append(picks.offsets.at(i));
                correct.fbTimes.append(picks.fbTimes.at(i));
            }
        PickTrend trend(picks.offsetLow, 10, 20);
        trend.fit(correct);
        std::vector<double> counts(size_t(trend.binCount()), 0.0), sums(counts);
        QVector<RefractorModel::Bin> points;
        for (int i = 0; i < picks.offsets.size(); ++i)
            if (!FBRecord::isErrorClass(picks.classes.at(i))) {
                const int offset = std::abs(picks.offsets.at(i));
                counts[size_t((offset - picks.offsetLow) / 10)] += 1;
                sums[size_t((offset - picks.offsetLow) / 10)] += offset;
                if (alsoPicks)
                    points.append({double(offset), double(picks.fbTimes.at(i)), 1.0});
            }
        QVector<RefractorModel::Bin> bins;
        double low = -1, high = 0;
        for (int bin = 0, time = 0; bin < trend.binCount(); ++bin)
            if (trend.median(bin, &time)) {
                const double n = counts[size_t(bin)];
                bins.append({centres ? picks.offsetLow + (bin + 0.5) * 10 : sums[size_t(bin)] / n,
                             double(time), n});
                high = picks.offsetLow + (bin + 1) * 10;
                low = low < 0 ? high - 10 : low;
            }

        RefractorModel model;
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuMs();
        model.fit(bins, low, high);
        const Outcome byBins = check(model, options, timer.nsecsElapsed() / 1e6);
        binCpuMs.push_back(cpuMs() - cpuStart);
        // The per-pick figures, as the trend's pass over the judged Correct picks feeds them.
        if (model.isValid()) {
            RefractorTally tally(model);
            qint64 fed = 0;
            timer.restart();
            for (int i = 0; i < picks.offsets.size(); ++i) {
                int time = 0;
                if (!FBRecord::isErrorClass(picks.classes.at(i)) &&
                    trend.median((std::abs(picks.offsets.at(i)) - picks.offsetLow) / 10, &time)) {
                    tally.add(picks.offsets.at(i), picks.fbTimes.at(i));
                    ++fed;
                }
            }
            tally.medianAbsResidual();
            tallyNs.push_back(double(timer.nsecsElapsed()) / double(qMax<qint64>(1, fed)));
        }
        passBins += byBins.pass;
        binMs.push_back(byBins.ms);
        QString line = QString::asprintf("%3d %s %6lld rec noise %.1f wild %.3f err %.3f "
                                         "statics %4.1f | planted",
                                         s, byBins.pass ? "ok  " : "FAIL",
                                         static_cast<long long>(options.records), options.noise,
                                         options.wildShare, options.errorShare,
                                         options.staticAmplitude);
        for (const FBSynthLayer &layer : options.layers)
            line += QString::asprintf(" %.0f@%.0f", layer.velocity, layer.fromOffset);
        line += QString::asprintf(" | %.1f || bins %.1f ms: %s", options.intercept, byBins.ms,
                                  qPrintable(byBins.said));
        if (alsoPicks) {
            timer.restart();
            model.fit(points, low, high);
            const Outcome byPicks = check(model, options, timer.nsecsElapsed() / 1e6);
            passPicks += byPicks.pass;
            pickMs.push_back(byPicks.ms);
            line += QString::asprintf(" || picks %s %.0f ms: %s", byPicks.pass ? "ok" : "FAIL",
                                      byPicks.ms, qPrintable(byPicks.said));
        }
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    }
    std::printf("bins:  %d of %d pass; fit median %.1f ms, max %.1f ms; processor time median "
                "%.1f ms, max %.1f ms\n",
                passBins, surveys, median(binMs),
                binMs.empty() ? 0.0 : *std::max_element(binMs.begin(), binMs.end()),
                median(binCpuMs),
                binCpuMs.empty() ? 0.0 : *std::max_element(binCpuMs.begin(), binCpuMs.end()));
    std::printf("tally: median %.1f ns per judged pick, with the trend's lookup\n",
                median(tallyNs));
    if (alsoPicks)
        std::printf("picks: %d of %d pass; fit median %.0f ms, max %.0f ms\n", passPicks, surveys,
                    median(pickMs),
                    pickMs.empty() ? 0.0 : *std::max_element(pickMs.begin(), pickMs.end()));
    return 0;
}
