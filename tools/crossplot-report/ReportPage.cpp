#include "ReportPage.h"

#include "FileQc.h"
#include "HtmlWriter.h"

#include <QDateTime>
#include <algorithm>
#include <QLocale>
#include <QUrl>

namespace {

// A relative link to a file of the report: FB file names may hold '#', '?', '%' or blanks.
QString url(const QString &path)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(path, "/"));
}

// A cell that sorts by a number while it shows a formatted text.
void numberCell(HtmlWriter &page, double key, const QString &text, bool hot = false,
                const QString &small = QString())
{
    page.start("td", {{"class", hot ? QStringLiteral("num hot") : QStringLiteral("num")},
                      {"data-key", QString::number(key, 'g', 17)}});
    page.text(text);
    if (!small.isNull()) {
        page.empty("br");
        page.element("small", small);
    }
    page.end();
}

QString count(qint64 value)
{
    return QLocale(QLocale::English).toString(value);
}

QString percent(double value)
{
    return QString::number(value, 'f', 2) + QLatin1Char('%');
}

const char *const Style = R"(
body{font:14px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"DejaVu Sans",sans-serif;margin:24px;color:#222;background:#fafafa}
h1{font-size:22px;margin:0 0 4px;color:#7a0000}
h2{font-size:17px;margin:0 0 6px}
.meta{color:#666;margin-bottom:14px}
table{border-collapse:collapse;background:#fff;box-shadow:0 1px 3px #0002}
th,td{padding:5px 10px;border-bottom:1px solid #e4e4e4;text-align:left;vertical-align:top}
th{background:#f0f0f0;cursor:pointer;user-select:none;white-space:nowrap}
th:after{content:" \2195";color:#aaa}
th.asc:after{content:" \2191";color:#333}
th.desc:after{content:" \2193";color:#333}
td.num{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
tr.flagged td:first-child{border-left:4px solid #d22}
.flag{display:inline-block;margin:2px 4px 0 0;padding:0 6px;border-radius:3px;font-size:12px;font-weight:600;color:#fff;background:#d22;white-space:nowrap}
.flag.warn{background:#e08a00}
td.hot{background:#fde2e2;font-weight:600;color:#a00}
.msg{color:#a00;font-size:12px;max-width:420px}
section{background:#fff;margin:22px 0;padding:14px 16px;box-shadow:0 1px 3px #0002}
section.flagged{border-left:4px solid #d22}
.plots{display:flex;flex-wrap:wrap;gap:14px;align-items:flex-start}
figure{margin:0;width:302px}
figcaption{font-size:12px;color:#555;text-align:center}
figure img{border:1px solid #ddd;display:block}
a{color:#0b5cad}
)";

const char *const Script = R"(
document.querySelectorAll("table.sortable th").forEach(function(th,col){
  th.addEventListener("click",function(){
    var body=th.closest("table").tBodies[0],rows=Array.prototype.slice.call(body.rows);
    var asc=!th.classList.contains("asc");
    th.parentNode.querySelectorAll("th").forEach(function(h){h.classList.remove("asc","desc")});
    th.classList.add(asc?"asc":"desc");
    function key(r){var c=r.cells[col],k=c.getAttribute("data-key");return k===null?c.textContent.toLowerCase():parseFloat(k)}
    rows.sort(function(a,b){var x=key(a),y=key(b);return (x>y?1:y>x?-1:0)*(asc?1:-1)});
    rows.forEach(function(r){body.appendChild(r)});
  });
});
)";

} // namespace

QByteArray ReportPage::html(const QVector<FileReport> &reports, const ReportOptions &options)
{
    const QString none(QChar(0x2013)); // an en dash where there is no figure
    const QString dot = QStringLiteral(" \u00b7 ");
    struct Flags
    {
        QStringList red, orange;
        bool errorHigh = false, suspectHigh = false, aboveSurvey = false, flagged = false;
    };
    // With three files or more a line whose suspect share is more than twice the survey's median
    // share stands out, even where statics push every line over the absolute threshold. A
    // median of 0 makes no line stand out.
    QVector<double> shares;
    for (const FileReport &r : reports)
        if (r.hasClasses && r.trend.done)
            shares << r.trend.suspectShare;
    std::sort(shares.begin(), shares.end());
    const int n = shares.size();
    const double surveyShare =
        n >= 3 ? (n % 2 ? shares.at(n / 2) : (shares.at(n / 2 - 1) + shares.at(n / 2)) / 2.0)
               : 0.0;
    QVector<Flags> flags;
    int flaggedFiles = 0;
    for (const FileReport &r : reports) {
        Flags f;
        if (!r.legal || !r.readable)
            f.red << tr("refused");
        if (r.truncated)
            f.red << tr("truncated");
        f.errorHigh = r.hasClasses && r.error.figures.share() > options.flagErrorShare;
        f.suspectHigh =
            r.hasClasses && r.trend.done && r.trend.suspectShare > options.flagSuspectShare;
        if (f.errorHigh)
            f.orange << tr("errors > %1%").arg(options.flagErrorShare);
        if (f.suspectHigh)
            f.orange << tr("suspects > %1%").arg(options.flagSuspectShare);
        f.aboveSurvey = r.hasClasses && r.trend.done && surveyShare > 0.0 &&
                        r.trend.suspectShare > 2.0 * surveyShare;
        if (f.aboveSurvey)
            f.orange << tr("suspects above the survey");
        f.flagged = !f.red.isEmpty() || !f.orange.isEmpty() || !r.message().isEmpty();
        flaggedFiles += f.flagged;
        flags << f;
    }

    HtmlWriter page;
    page.raw("<!DOCTYPE html>\n");
    page.start("html", {{"lang", QStringLiteral("en")}});
    page.start("head");
    page.empty("meta", {{"charset", QStringLiteral("utf-8")}});
    page.element("title", tr("FB pick QC report"));
    page.start("style");
    page.raw(Style);
    page.end();
    page.end();
    page.start("body");
    page.element("h1", tr("FB pick QC report"));
    const QString trendNote =
        options.trend ? tr("Trend: lower median time per %1 m of offset over bins of at least 20 "
                           "Correct picks; suspect beyond \u00b1%2 ms (line over the Correct "
                           "crossplot).")
                            .arg(options.trendBin)
                            .arg(options.suspectMs)
                      : tr("Trend: not computed.");
    page.element("div",
                  tr("%n file(s)", nullptr, reports.size()) + QStringLiteral(", ") +
                      tr("%n flagged", nullptr, flaggedFiles) + dot +
                      QDateTime::currentDateTime().toString(Qt::ISODate) + dot + trendNote,
                  {{"class", QStringLiteral("meta")}});

    page.start("table", {{"class", QStringLiteral("sortable")}});
    page.start("thead");
    page.start("tr");
    for (const QString &header :
         {tr("File"), tr("Records announced"), tr("Records present"), tr("Correct"),
          tr("Erroneous"), tr("Error share"), tr("Suspect share"), tr("Residual spread (ms)"),
          tr("Refractor model (by first velocity)"), tr("Last velocity (m/s)"), tr("timeMax (ms)"),
          tr("densityMax")})
        page.element("th", header);
    page.end();
    page.end();
    page.start("tbody");
    for (int i = 0; i < reports.size(); ++i) {
        const FileReport &r = reports.at(i);
        const Flags &f = flags.at(i);
        page.start("tr", {{"class", f.flagged ? QStringLiteral("flagged") : QString()}});
        page.start("td");
        page.element("a", r.file, {{"href", QStringLiteral("#f%1").arg(i + 1)}});
        page.empty("br");
        for (const QString &flag : f.red)
            page.element("span", flag, {{"class", QStringLiteral("flag")}});
        for (const QString &flag : f.orange)
            page.element("span", flag, {{"class", QStringLiteral("flag warn")}});
        if (!r.message().isEmpty())
            page.element("div", r.message(), {{"class", QStringLiteral("msg")}});
        page.end();
        numberCell(page, r.recordCount, count(r.recordCount));
        numberCell(page, double(r.recordsInFile), count(r.recordsInFile), r.truncated);
        if (r.hasClasses) {
            const CrossPlotFigures &error = r.error.figures;
            numberCell(page, r.correct.figures.pickCount, count(r.correct.figures.pickCount));
            numberCell(page, error.pickCount, count(error.pickCount));
            numberCell(page, error.share(), percent(error.share()), f.errorHigh);
            if (r.trend.done) {
                numberCell(page, r.trend.suspectShare, percent(r.trend.suspectShare),
                           f.suspectHigh || f.aboveSurvey,
                           tr("%1 of %2").arg(count(r.trend.suspectCount),
                                              count(r.trend.judgedCount)));
                numberCell(page, r.trend.residualSpread, QString::number(r.trend.residualSpread));
            } else {
                numberCell(page, -1, none);
                numberCell(page, -1, none);
            }
            if (!r.trend.refractorLine.isEmpty()) {
                page.element("td", r.trend.refractorLine,
                             {{"data-key", QString::number(r.trend.firstVelocity, 'g', 17)}});
                numberCell(page, r.trend.lastVelocity, count(qRound64(r.trend.lastVelocity)));
            } else {
                page.element("td", none, {{"data-key", QStringLiteral("-1")}});
                numberCell(page, -1, none);
            }
            // The time extent and density top of the whole file: its Both crossplot.
            numberCell(page, r.both.figures.timeMax, count(r.both.figures.timeMax));
            numberCell(page, r.both.figures.densityMax, count(r.both.figures.densityMax));
        } else {
            for (int c = 0; c < 9; ++c)
                numberCell(page, -1, none);
        }
        page.end();
    }
    page.end();
    page.end();

    for (int i = 0; i < reports.size(); ++i) {
        const FileReport &r = reports.at(i);
        page.start("section", {{"id", QStringLiteral("f%1").arg(i + 1)},
                               {"class", flags.at(i).flagged ? QStringLiteral("flagged")
                                                             : QString()}});
        page.element("h2", r.file);
        if (!r.message().isEmpty())
            page.element("p", r.message(), {{"class", QStringLiteral("msg")}});
        if (r.hasClasses) {
            page.start("div", {{"class", QStringLiteral("plots")}});
            const struct
            {
                QString caption;
                const FileReport::ClassFigures &figures;
            } plots[] = {
                {tr("Correct: %1 picks").arg(count(r.correct.figures.pickCount)), r.correct},
                {tr("Error: %1 picks").arg(count(r.error.figures.pickCount)), r.error},
                {tr("Both: %1 picks").arg(count(r.both.figures.pickCount)), r.both}};
            for (const auto &plot : plots) {
                page.start("figure");
                page.start("a", {{"href", url(plot.figures.image)}});
                page.empty("img", {{"src", url(plot.figures.thumbnail)},
                                   {"width", QString::number(FileQc::ThumbnailWidth)},
                                   {"alt", plot.caption}});
                page.end();
                page.element("figcaption", plot.caption);
                page.end();
            }
            if (r.trend.done) {
                const QString caption = tr("Residuals against the trend");
                page.start("figure");
                page.start("a", {{"href", url(r.trend.histogram)}});
                page.empty("img", {{"src", url(r.trend.histogram)},
                                   {"width", QString::number(FileQc::ThumbnailWidth)},
                                   {"alt", caption}});
                page.end();
                page.start("figcaption");
                page.text(caption + dot);
                page.element("a",
                             tr("%1 suspect picks (%2 early, %3 late)")
                                 .arg(count(r.trend.suspectCount), count(r.trend.suspectEarly),
                                      count(r.trend.suspectLate)),
                             {{"href", url(r.trend.csv)}});
                page.end();
                page.end();
            }
            page.end();
        }
        page.end();
    }
    page.start("script");
    page.raw(Script);
    page.end();
    return page.finish() + '\n';
}
