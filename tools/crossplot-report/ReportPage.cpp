#include "ReportPage.h"

#include "FileQc.h"

#include <QDateTime>
#include <QLocale>
#include <QUrl>

namespace {

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

// A relative link to a file of the report: FB file names may hold '#', '?' or '%'.
QString url(const QString &path)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(path, "/"));
}

// A cell that sorts by a number while it shows a formatted text.
QString numberCell(double key, const QString &text, const QString &cls = QString())
{
    return QStringLiteral("<td class=\"num%1\" data-key=\"%2\">%3</td>")
        .arg(cls.isEmpty() ? QString() : QLatin1Char(' ') + cls)
        .arg(key, 0, 'g', 17)
        .arg(text);
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
    QString rows;
    QString sections;
    int flaggedFiles = 0;
    for (int i = 0; i < reports.size(); ++i) {
        const FileReport &r = reports.at(i);
        QStringList flags;
        const bool refused = !r.legal || !r.readable;
        if (refused)
            flags << QStringLiteral("<span class=\"flag\">%1</span>").arg(tr("refused"));
        if (r.truncated)
            flags << QStringLiteral("<span class=\"flag\">%1</span>").arg(tr("truncated"));
        const bool errorHigh = r.hasClasses && r.error.share > options.flagErrorShare;
        const bool suspectHigh =
            r.hasClasses && r.trend.done && r.trend.suspectShare > options.flagSuspectShare;
        if (errorHigh)
            flags << QStringLiteral("<span class=\"flag warn\">%1</span>")
                         .arg(tr("errors &#62; %1%").arg(options.flagErrorShare));
        if (suspectHigh)
            flags << QStringLiteral("<span class=\"flag warn\">%1</span>")
                         .arg(tr("suspects &#62; %1%").arg(options.flagSuspectShare));
        const bool flagged = !flags.isEmpty() || !r.message().isEmpty();
        flaggedFiles += flagged;
        const QString anchor = QStringLiteral("f%1").arg(i + 1);

        QString row = QStringLiteral("<tr%1>").arg(flagged ? QStringLiteral(" class=\"flagged\"")
                                                           : QString());
        row += QStringLiteral("<td><a href=\"#%1\">%2</a><br/>%3%4</td>")
                   .arg(anchor, esc(r.file), flags.join(QString()),
                        r.message().isEmpty()
                            ? QString()
                            : QStringLiteral("<div class=\"msg\">%1</div>").arg(esc(r.message())));
        row += numberCell(r.recordCount, count(r.recordCount));
        row += numberCell(double(r.recordsInFile), count(r.recordsInFile),
                          r.truncated ? QStringLiteral("hot") : QString());
        if (r.hasClasses) {
            row += numberCell(r.correct.pickCount, count(r.correct.pickCount));
            row += numberCell(r.error.pickCount, count(r.error.pickCount));
            row += numberCell(r.error.share, percent(r.error.share),
                              errorHigh ? QStringLiteral("hot") : QString());
            if (r.trend.done)
                row += numberCell(
                    r.trend.suspectShare,
                    percent(r.trend.suspectShare) + QStringLiteral("<br/><small>") +
                        tr("%1 of %2")
                            .arg(count(r.trend.suspectCount), count(r.trend.judgedCount)) +
                        QStringLiteral("</small>"),
                    suspectHigh ? QStringLiteral("hot") : QString());
            else
                row += numberCell(-1, QStringLiteral("&#8211;"));
            // The time extent and density top of the whole file: its Both crossplot.
            row += numberCell(r.both.timeMax, count(r.both.timeMax));
            row += numberCell(r.both.densityMax, count(r.both.densityMax));
        } else {
            for (int c = 0; c < 6; ++c)
                row += numberCell(-1, QStringLiteral("&#8211;"));
        }
        rows += row + QStringLiteral("</tr>\n");

        QString section =
            QStringLiteral("<section id=\"%1\"%2><h2>%3</h2>")
                .arg(anchor, flagged ? QStringLiteral(" class=\"flagged\"") : QString(),
                     esc(r.file));
        if (!r.message().isEmpty())
            section += QStringLiteral("<p class=\"msg\">%1</p>").arg(esc(r.message()));
        if (r.hasClasses) {
            section += QStringLiteral("<div class=\"plots\">");
            const struct
            {
                QString caption;
                const FileReport::ClassFigures &figures;
            } plots[] = {{tr("Correct: %1 picks").arg(count(r.correct.pickCount)), r.correct},
                         {tr("Error: %1 picks").arg(count(r.error.pickCount)), r.error},
                         {tr("Both: %1 picks").arg(count(r.both.pickCount)), r.both}};
            for (const auto &plot : plots)
                section += QStringLiteral("<figure><a href=\"%1\"><img src=\"%2\" width=\"%3\" "
                                          "alt=\"%4\"/></a><figcaption>%4</figcaption></figure>")
                               .arg(url(plot.figures.image), url(plot.figures.thumbnail))
                               .arg(FileQc::ThumbnailWidth)
                               .arg(plot.caption);
            if (r.trend.done)
                section +=
                    QStringLiteral(
                        "<figure><a href=\"%1\"><img src=\"%1\" width=\"300\" alt=\"%2\"/></a>"
                        "<figcaption>%2 &#183; <a href=\"%3\">%4</a>"
                        "</figcaption></figure>")
                        .arg(url(r.trend.histogram), tr("Residuals against the trend"),
                             url(r.trend.csv),
                             tr("%1 suspect picks (%2 early, %3 late)")
                                 .arg(count(r.trend.suspectCount), count(r.trend.suspectEarly),
                                      count(r.trend.suspectLate)));
            section += QStringLiteral("</div>");
        }
        sections += section + QStringLiteral("</section>\n");
    }

    const QString trendNote =
        options.trend
            ? tr("Trend: lower median time per %1 m of offset over bins of at least 20 Correct "
                 "picks; suspect beyond &#177;%2 ms (line over the Correct crossplot).")
                  .arg(options.trendBin)
                  .arg(options.suspectMs)
            : tr("Trend: not computed.");
    QString page =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"/>"
                       "<title>%1</title><style>%2</style></head><body>\n")
            .arg(tr("FB pick QC report"), QLatin1String(Style));
    page += QStringLiteral("<h1>%1</h1><div class=\"meta\">%2 &#183; %3 &#183; %4</div>\n")
                .arg(tr("FB pick QC report"),
                     tr("%n file(s)", nullptr, reports.size()) + QStringLiteral(", ") +
                         tr("%n flagged", nullptr, flaggedFiles),
                     QDateTime::currentDateTime().toString(Qt::ISODate), trendNote);
    page += QStringLiteral("<table class=\"sortable\"><thead><tr>");
    for (const QString &header : {tr("File"), tr("Records announced"), tr("Records present"),
                                  tr("Correct"), tr("Erroneous"), tr("Error share"),
                                  tr("Suspect share"), tr("timeMax (ms)"), tr("densityMax")})
        page += QStringLiteral("<th>%1</th>").arg(header);
    page += QStringLiteral("</tr></thead><tbody>\n") + rows + QStringLiteral("</tbody></table>\n");
    page += sections;
    page += QStringLiteral("<script>%1</script></body></html>\n").arg(QLatin1String(Script));
    return page.toUtf8();
}
