// Times what a slider drag costs in the crossplot window: a point-size change (matrix rebuild
// and replot) and a colour-stop change (two colour maps and replot), at the default window size.

#include "CrossPlotMap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSpinBox>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Each step sets the control and lets the window repaint, as a drag step would.
template <typename Step> double timeSteps(int steps, Step step)
{
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < steps; ++i) {
        timer.start();
        step(i);
        QCoreApplication::processEvents();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_interactive FBFILE\n");
        return 2;
    }
    CrossPlotParam param;
    param.fbName = QString::fromLocal8Bit(argv[1]);
    QElapsedTimer construction;
    construction.start();
    CrossPlotMap window(param);
    const double constructMs = construction.nsecsElapsed() / 1e6;
    window.show();
    QCoreApplication::processEvents();

    auto *pointSize = window.findChild<QSpinBox *>(QStringLiteral("pointSize"));
    auto *cyan = window.findChild<QSpinBox *>(QStringLiteral("cyanSpin"));
    if (!pointSize || !cyan)
        return 1;
    const int sizes[] = {5, 4, 6, 4, 8, 4, 3, 4, 2, 4};
    const double pointSizeMs = timeSteps(20, [&](int i) { pointSize->setValue(sizes[i % 10]); });
    const double colourMs = timeSteps(20, [&](int i) { cyan->setValue(16 + i % 2); });
    // The finest point size, which asks for the largest matrix: each step from 4 to 1 timed.
    std::vector<double> toOne;
    for (int i = 0; i < 5; ++i) {
        pointSize->setValue(4);
        QCoreApplication::processEvents();
        toOne.push_back(timeSteps(1, [&](int) { pointSize->setValue(1); }));
    }
    const double toOneMs = median(toOne);
    std::printf("{\"constructMs\": %.1f, \"pointSizeChangeMs\": %.2f, \"colourChangeMs\": %.2f, "
                "\"pointSizeTo1Ms\": %.1f, \"width\": %d, \"height\": %d}\n",
                constructMs, pointSizeMs, colourMs, toOneMs, window.width(), window.height());
    return 0;
}
