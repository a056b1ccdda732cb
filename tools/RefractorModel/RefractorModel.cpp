#include "RefractorModel.h"

#include "RefractorTally.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

using Bin = RefractorModel::Bin;

// The bins at most that the global search of the crossovers works on: more are grouped, so that
// its cost (its time grows with the cube) does not grow with a fine trend bin or a long spread.
// 80 would take a third off the fit's time, but groups of 150 m on a 12 km spread then miss
// first layers of 120 m.
constexpr int MaxSearchPoints = 120;
// The points at most that the model is fitted to: more bins are grouped, which bounds the time
// of the fit (about 8 ms of processor time for 300 points, 12 ms for 400) whatever the spread
// and the trend's bin.
constexpr int MaxFitPoints = 400;
// The margin by which one more layer must improve the model, in two parts. It must lower the
// weighted mean absolute misfit by LayerGain, and its velocity must differ from each
// neighbour's by LayerContrast. Over 500 random planted surveys (spreads of 1.5, 3 and 12 km;
// 1-4 layers of 100 m and more at contrasts of 1.5x to 2x; noise, wild picks and statics):
// - every planted layer gained at least 5.4 % (a layer of 120 m in a 12 km spread; 21 % in
//   3 km) and was fitted at a contrast of at least 1.49x;
// - a layer beyond the planted ones that lowered the misfit at all did so by up to 10 % (on a
//   1.5 km spread), but at a contrast of at most 1.10x: a split straight line.
// The misfit alone cannot tell the two apart across spreads, so the contrast does; each
// threshold stands about as far from either side as the figures allow.
constexpr double LayerGain = 0.025;
constexpr double LayerContrast = 1.25;
// The loss is Huber's, an L1-type loss: absolute beyond this many ms, so that wild bins do not
// bend the model, and squared within it, so that the steps of the whole-millisecond medians
// average out instead of pinning each line to two of them (over a layer of 100 m that alone
// moves a velocity by 5 %).
constexpr double HuberMs = 1.0;
// The least slope of a layer, ms per m: 100 km/s, ten times any rock's velocity. Flatter times
// are no refraction, and would give velocities without bound.
constexpr double MinSlope = 0.01;
constexpr double Infinite = std::numeric_limits<double>::infinity();

struct Fit
{
    std::vector<double> crossovers; // offsets where a layer takes over, increasing
    std::vector<double> params;     // a, b, then one hinge weight per crossover (scaled units)
    double cost = Infinite;         // sum of weight * Huber loss of the residual
    double deviation = Infinite;    // sum of weight * |residual|
};

// Weighted robust regression of time on a continuous piecewise-linear basis: 1, u, and
// max(0, x - c) for each crossover c, offsets scaled to u = (x - origin) / scale for a well
// conditioned system. Iteratively reweighted least squares, warm-started from params when it
// holds a solution.
class HingeRegression
{
public:
    HingeRegression(const std::vector<Bin> &bins, double origin, double scale)
        : m_bins(bins), m_origin(origin), m_scale(scale)
    {
        m_u.reserve(bins.size());
        for (const Bin &bin : bins)
            m_u.push_back(u(bin.offset));
    }

    double x(double u) const { return m_origin + u * m_scale; }
    double u(double x) const { return (x - m_origin) / m_scale; }

    // Fits bins [first, last) and returns the cost; params get the solution, deviation (when
    // given) the sum of weight * |residual|.
    double fit(int first, int last, const std::vector<double> &crossovers,
               std::vector<double> &params, int iterations, double *deviation = nullptr) const
    {
        const int p = 2 + int(crossovers.size());
        std::vector<double> cu(crossovers.size());
        for (size_t j = 0; j < crossovers.size(); ++j)
            cu[j] = u(crossovers[j]);
        std::vector<double> basis(static_cast<size_t>(p));
        const auto fill = [&](double ui) {
            basis[0] = 1.0;
            basis[1] = ui;
            for (size_t j = 0; j < cu.size(); ++j)
                basis[j + 2] = std::max(0.0, ui - cu[j]);
        };
        const auto residual = [&](int i, const std::vector<double> &q) {
            fill(m_u[size_t(i)]);
            double model = 0.0;
            for (int k = 0; k < p; ++k)
                model += q[size_t(k)] * basis[size_t(k)];
            return m_bins[size_t(i)].time - model;
        };
        const bool warm = int(params.size()) == p;
        if (!warm)
            params.assign(size_t(p), 0.0);
        std::vector<double> normal(size_t(p * (p + 1)));
        for (int iteration = warm ? 1 : 0; iteration <= iterations; ++iteration) {
            std::fill(normal.begin(), normal.end(), 0.0);
            for (int i = first; i < last; ++i) {
                double w = m_bins[size_t(i)].weight;
                if (iteration > 0)
                    w /= std::max(HuberMs, std::abs(residual(i, params)));
                else
                    fill(m_u[size_t(i)]);
                for (int r = 0; r < p; ++r) {
                    for (int c = r; c < p; ++c)
                        normal[size_t(r * (p + 1) + c)] += w * basis[size_t(r)] * basis[size_t(c)];
                    normal[size_t(r * (p + 1) + p)] += w * basis[size_t(r)] * m_bins[size_t(i)].time;
                }
            }
            for (int r = 0; r < p; ++r)
                for (int c = 0; c < r; ++c)
                    normal[size_t(r * (p + 1) + c)] = normal[size_t(c * (p + 1) + r)];
            const std::vector<double> before = params;
            if (!solve(normal, p, params))
                return Infinite;
            // Settled: a further step would move no time by a thousandth of a millisecond.
            double change = 0.0;
            for (int k = 0; k < p; ++k)
                change += std::abs(params[size_t(k)] - before[size_t(k)]);
            if (iteration > 0 && change < 1e-3)
                break;
        }
        double cost = 0.0, absolute = 0.0;
        for (int i = first; i < last; ++i) {
            const double r = std::abs(residual(i, params));
            const double w = m_bins[size_t(i)].weight;
            cost += w * (r <= HuberMs ? r * r / (2 * HuberMs) : r - HuberMs / 2);
            absolute += w * r;
        }
        if (deviation)
            *deviation = absolute;
        return cost;
    }

    // The slope of each layer, ms per metre.
    std::vector<double> slopes(const std::vector<double> &params) const
    {
        std::vector<double> result;
        double slope = params[1];
        result.push_back(slope / m_scale);
        for (size_t j = 2; j < params.size(); ++j) {
            slope += params[j];
            result.push_back(slope / m_scale);
        }
        return result;
    }

    double timeAt(const Fit &fit, double offset) const
    {
        const double ui = u(offset);
        double t = fit.params[0] + fit.params[1] * ui;
        for (size_t j = 0; j < fit.crossovers.size(); ++j)
            t += fit.params[j + 2] * std::max(0.0, ui - u(fit.crossovers[j]));
        return t;
    }

private:
    // Gaussian elimination with partial pivoting of the p x (p + 1) augmented system.
    static bool solve(std::vector<double> m, int p, std::vector<double> &out)
    {
        const int w = p + 1;
        for (int col = 0; col < p; ++col) {
            int pivot = col;
            for (int r = col + 1; r < p; ++r)
                if (std::abs(m[size_t(r * w + col)]) > std::abs(m[size_t(pivot * w + col)]))
                    pivot = r;
            if (!(std::abs(m[size_t(pivot * w + col)]) > 1e-12))
                return false;
            for (int c = 0; c < w; ++c)
                std::swap(m[size_t(col * w + c)], m[size_t(pivot * w + c)]);
            for (int r = col + 1; r < p; ++r) {
                const double f = m[size_t(r * w + col)] / m[size_t(col * w + col)];
                for (int c = col; c < w; ++c)
                    m[size_t(r * w + c)] -= f * m[size_t(col * w + c)];
            }
        }
        for (int r = p - 1; r >= 0; --r) {
            double v = m[size_t(r * w + p)];
            for (int c = r + 1; c < p; ++c)
                v -= m[size_t(r * w + c)] * out[size_t(c)];
            out[size_t(r)] = v / m[size_t(r * w + r)];
        }
        return std::all_of(out.begin(), out.end(), [](double v) { return std::isfinite(v); });
    }

    const std::vector<Bin> &m_bins;
    double m_origin;
    double m_scale;
    std::vector<double> m_u; // each bin's scaled offset
};

// The weighted median of values with weights, by sorting a copy.
double weightedMedian(std::vector<std::pair<double, double>> values)
{
    std::sort(values.begin(), values.end());
    double total = 0.0;
    for (const auto &v : values)
        total += v.second;
    double below = 0.0;
    for (const auto &v : values) {
        below += v.second;
        if (below >= total / 2)
            return v.first;
    }
    return values.back().first;
}

// Consecutive runs of size bins, each as one point where its median offset meets its median
// time: the time rises with offset, so the two medians belong together.
std::vector<Bin> grouped(const std::vector<Bin> &bins, int size)
{
    std::vector<Bin> points;
    for (size_t first = 0; first < bins.size(); first += size_t(size)) {
        std::vector<std::pair<double, double>> offsets, times;
        double weight = 0.0;
        for (size_t i = first; i < std::min(bins.size(), first + size_t(size)); ++i) {
            offsets.emplace_back(bins[i].offset, bins[i].weight);
            times.emplace_back(bins[i].time, bins[i].weight);
            weight += bins[i].weight;
        }
        points.push_back(Bin{weightedMedian(offsets), weightedMedian(times), weight});
    }
    return points;
}

int groupSize(size_t count, int most)
{
    return int((count + size_t(most) - 1) / size_t(most));
}

// Fits points, bins or groups of them, and holds each layer to its length and judged bins.
class Fitter
{
public:
    Fitter(const std::vector<Bin> &bins, const std::vector<Bin> &points, double low, double high)
        : m_bins(bins), m_points(points), m_low(low), m_high(high),
          m_regression(points, (low + high) / 2, std::max(1.0, (high - low) / 2))
    {
    }

    // A layer from offset from to offset to must span MinLayerLength and hold MinLayerBins bins.
    bool layerFits(double from, double to) const
    {
        if (to - from < RefractorModel::MinLayerLength)
            return false;
        const auto begin = std::lower_bound(m_bins.begin(), m_bins.end(), from, byOffset);
        const auto end = std::lower_bound(m_bins.begin(), m_bins.end(), to, byOffset);
        return end - begin >= RefractorModel::MinLayerBins;
    }

    bool fits(const std::vector<double> &crossovers) const
    {
        double from = m_low;
        for (const double c : crossovers) {
            if (!layerFits(from, c))
                return false;
            from = c;
        }
        return layerFits(from, m_high + 1e-9);
    }

    // The best crossovers for 1..MaxLayers layers, each found globally by dynamic programming
    // over the boundaries of groups of points with a separate line per layer: a start point cannot
    // trap it. Entry k - 1 is empty where k layers do not fit.
    std::vector<std::vector<double>> searchCrossovers() const
    {
        const int g = groupSize(m_points.size(), MaxSearchPoints);
        const std::vector<Bin> points = grouped(m_points, g);
        const int m = int(points.size());
        std::vector<double> bound(size_t(m + 1));
        bound[0] = m_low;
        bound[size_t(m)] = m_high;
        for (int q = 1; q < m; ++q)
            bound[size_t(q)] =
                (m_points[size_t(q * g - 1)].offset + m_points[size_t(q * g)].offset) / 2;
        const HingeRegression lines(points, m_regression.x(0), m_regression.x(1) - m_regression.x(0));
        std::vector<double> cost(size_t((m + 1) * (m + 1)), Infinite);
        // Each line starts from the one a point shorter, which leaves it a few steps to go.
        for (int i = 0; i < m; ++i) {
            std::vector<double> params;
            for (int j = i + 1; j <= m; ++j)
                if (layerFits(bound[size_t(i)], j == m ? m_high + 1e-9 : bound[size_t(j)])) {
                    cost[size_t(i * (m + 1) + j)] = lines.fit(i, j, {}, params, 6);
                    if (!std::isfinite(cost[size_t(i * (m + 1) + j)]))
                        params.clear();
                }
        }

        std::vector<std::vector<double>> best(RefractorModel::MaxLayers);
        std::vector<double> previous(size_t(m + 1), Infinite), current(size_t(m + 1));
        std::vector<int> from(size_t(RefractorModel::MaxLayers * (m + 1)), -1);
        previous[0] = 0.0;
        for (int k = 0; k < RefractorModel::MaxLayers; ++k) {
            std::fill(current.begin(), current.end(), Infinite);
            for (int j = 1; j <= m; ++j)
                for (int i = 0; i < j; ++i) {
                    const double c = previous[size_t(i)] + cost[size_t(i * (m + 1) + j)];
                    if (c < current[size_t(j)]) {
                        current[size_t(j)] = c;
                        from[size_t(k * (m + 1) + j)] = i;
                    }
                }
            if (std::isfinite(current[size_t(m)])) {
                std::vector<double> crossovers;
                for (int layer = k, j = m; layer > 0; --layer) {
                    j = from[size_t(layer * (m + 1) + j)];
                    crossovers.insert(crossovers.begin(), bound[size_t(j)]);
                }
                best[size_t(k)] = crossovers;
            }
            std::swap(previous, current);
        }
        return best;
    }

    Fit fitAt(const std::vector<double> &crossovers, std::vector<double> params,
              int iterations) const
    {
        Fit fit;
        fit.crossovers = crossovers;
        fit.cost = m_regression.fit(0, int(m_points.size()), crossovers, params, iterations,
                                    &fit.deviation);
        fit.params = params;
        return fit;
    }

    // A continuous fit at the crossovers, each then moved along the offset by halving steps
    // while the cost falls: the search's grouped boundaries put them within a group or two of
    // the best, which is what reach covers.
    Fit refine(std::vector<double> crossovers, double reach) const
    {
        Fit best = fitAt(crossovers, {}, 30);
        for (int sweep = 0; sweep < 2; ++sweep)
            for (size_t j = 0; j < best.crossovers.size(); ++j)
                for (double step = reach / 2; step >= 0.5; step /= 2) {
                    const Fit centre = best;
                    for (const int direction : {-1, 1}) {
                        std::vector<double> trial = centre.crossovers;
                        trial[j] += direction * step;
                        if (!fits(trial))
                            continue;
                        const Fit fit = fitAt(trial, centre.params, 8);
                        if (fit.cost < best.cost)
                            best = fit;
                    }
                }
        return fitAt(best.crossovers, best.params, 30);
    }

    // The crossover between the first two layers whose velocities do not increase (whose
    // slopes do not fall), or before a last layer flatter than MinSlope; -1 when all is well.
    int badCrossover(const Fit &fit) const
    {
        const std::vector<double> slopes = m_regression.slopes(fit.params);
        for (size_t k = 0; k + 1 < slopes.size(); ++k)
            if (!(slopes[k + 1] < slopes[k]))
                return int(k);
        return slopes.back() >= MinSlope ? -1 : int(slopes.size()) - 2;
    }

    // The refined model from crossovers, two layers merged into one wherever their slopes would
    // give a decreasing velocity, until the velocities increase.
    Fit model(std::vector<double> crossovers, double reach) const
    {
        for (;;) {
            Fit fit = refine(crossovers, reach);
            if (!std::isfinite(fit.cost))
                return fit;
            // A first line that does not rise has no velocity, nor have those after it.
            if (!(m_regression.slopes(fit.params).front() >= MinSlope)) {
                fit.cost = Infinite;
                return fit;
            }
            const int bad = badCrossover(fit);
            if (bad < 0)
                return fit;
            crossovers = fit.crossovers;
            crossovers.erase(crossovers.begin() + bad);
        }
    }

    // The smallest ratio of neighbouring layers' velocities.
    double leastContrast(const Fit &fit) const
    {
        const std::vector<double> slopes = m_regression.slopes(fit.params);
        double least = Infinite;
        for (size_t k = 0; k + 1 < slopes.size(); ++k)
            least = std::min(least, slopes[k] / slopes[k + 1]);
        return least;
    }

    const HingeRegression &regression() const { return m_regression; }

private:
    static bool byOffset(const Bin &bin, double offset) { return bin.offset < offset; }

    const std::vector<Bin> &m_bins;
    const std::vector<Bin> &m_points;
    double m_low;
    double m_high;
    HingeRegression m_regression;
};

} // namespace

bool RefractorModel::fit(QVector<Bin> input, double lowEdge, double highEdge)
{
    m_layers.clear();
    m_reason.clear();
    m_misfit = 0.0;
    std::vector<Bin> bins;
    for (const Bin &bin : input)
        if (std::isfinite(bin.offset) && std::isfinite(bin.time) && bin.weight > 0.0 &&
            std::isfinite(bin.weight))
            bins.push_back(Bin{std::abs(bin.offset), bin.time, bin.weight});
    if (int(bins.size()) < MinBins) {
        m_reason = QCoreApplication::translate("RefractorModel",
                                               "too few judged trend bins (%1 of at least %2): "
                                               "no refractor model")
                       .arg(bins.size())
                       .arg(MinBins);
        return false;
    }
    std::stable_sort(bins.begin(), bins.end(),
                     [](const Bin &a, const Bin &b) { return a.offset < b.offset; });
    const double low = std::isfinite(lowEdge) ? std::min(std::abs(lowEdge), bins.front().offset)
                                              : bins.front().offset;
    const double high = std::isfinite(highEdge) ? std::max(std::abs(highEdge), bins.back().offset)
                                                : bins.back().offset;

    if (high - low < MinLayerLength) {
        m_reason = QCoreApplication::translate("RefractorModel",
                                               "the judged trend bins span %1 m, less than a "
                                               "layer's %2 m: no refractor model")
                       .arg(qRound(high - low))
                       .arg(MinLayerLength);
        return false;
    }

    const std::vector<Bin> points =
        bins.size() > size_t(MaxFitPoints) ? grouped(bins, groupSize(bins.size(), MaxFitPoints))
                                           : bins;
    const Fitter fitter(bins, points, low, high);
    const std::vector<std::vector<double>> starts = fitter.searchCrossovers();
    // The refinement reaches two search groups either way of the search's crossovers.
    const double reach = std::max(20.0, 2.0 * groupSize(points.size(), MaxSearchPoints) *
                                            (high - low) / double(points.size()));

    Fit chosen = fitter.model({}, reach);
    if (!std::isfinite(chosen.cost)) {
        m_reason = QCoreApplication::translate("RefractorModel",
                                               "the trend does not rise with offset: no "
                                               "refractor model");
        return false;
    }
    // The fewest layers that one more does not improve by the margin.
    for (size_t k = 1; k < starts.size(); ++k) {
        if (starts[k].empty())
            break;
        const Fit more = fitter.model(starts[k], reach);
        if (more.crossovers.size() <= chosen.crossovers.size() ||
            !(more.deviation < (1.0 - LayerGain) * chosen.deviation) ||
            fitter.leastContrast(more) < LayerContrast)
            break;
        chosen = more;
    }

    double totalWeight = 0.0, deviation = 0.0;
    for (const Bin &bin : bins) {
        totalWeight += bin.weight;
        deviation += bin.weight * std::abs(bin.time - fitter.regression().timeAt(chosen, bin.offset));
    }
    m_misfit = deviation / totalWeight;
    const std::vector<double> slopes = fitter.regression().slopes(chosen.params);
    for (size_t k = 0; k < slopes.size(); ++k) {
        Layer layer;
        layer.fromOffset = k == 0 ? low : chosen.crossovers[k - 1];
        layer.toOffset = k + 1 < slopes.size() ? chosen.crossovers[k] : high;
        layer.velocity = 1000.0 / slopes[k];
        layer.intercept =
            fitter.regression().timeAt(chosen, layer.fromOffset) - slopes[k] * layer.fromOffset;
        m_layers.append(layer);
    }
    return true;
}

int RefractorModel::layerAt(double offset) const
{
    if (m_layers.isEmpty())
        return -1;
    const double x = std::abs(offset);
    int layer = 0;
    while (layer + 1 < m_layers.size() && x >= m_layers.at(layer).toOffset)
        ++layer;
    return layer;
}

double RefractorModel::timeAt(double offset) const
{
    const int k = layerAt(offset);
    if (k < 0)
        return 0.0;
    const Layer &layer = m_layers.at(k);
    return layer.intercept + 1000.0 * std::abs(offset) / layer.velocity;
}

QJsonValue RefractorModel::toJson(const RefractorTally &tally) const
{
    if (m_layers.isEmpty())
        return QJsonValue::Null;
    const auto tenth = [](double v) { return std::round(v * 10.0) / 10.0; };
    QJsonArray layers;
    for (int k = 0; k < m_layers.size(); ++k) {
        const Layer &layer = m_layers.at(k);
        layers.append(QJsonObject{{"velocity", tenth(layer.velocity)},
                                  {"intercept", tenth(layer.intercept)},
                                  {"fromOffset", std::round(layer.fromOffset)},
                                  {"toOffset", std::round(layer.toOffset)},
                                  {"pickCount", tally.pickCount(k)}});
    }
    // No picks tallied, no median: null rather than a residual of 0.
    const QJsonValue median =
        tally.total() > 0 ? QJsonValue(tenth(tally.medianAbsResidual())) : QJsonValue();
    return QJsonObject{{"layers", layers}, {"medianAbsResidual", median}};
}
