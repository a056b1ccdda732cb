#include "HtmlWriter.h"

QString HtmlWriter::escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

void HtmlWriter::open(const char *tag, Attributes attributes)
{
    m_page += QLatin1Char('<') + QLatin1String(tag);
    for (const auto &attribute : attributes) {
        if (!attribute.second.isNull())
            m_page += QStringLiteral(" %1=\"%2\"")
                          .arg(QLatin1String(attribute.first), escaped(attribute.second));
    }
}

void HtmlWriter::start(const char *tag, Attributes attributes)
{
    open(tag, attributes);
    m_page += QLatin1Char('>');
    m_open << QLatin1String(tag);
}

void HtmlWriter::end()
{
    if (!m_open.isEmpty())
        m_page += QStringLiteral("</%1>").arg(m_open.takeLast());
}

void HtmlWriter::empty(const char *tag, Attributes attributes)
{
    open(tag, attributes);
    m_page += QLatin1String("/>");
}

void HtmlWriter::text(const QString &text)
{
    m_page += escaped(text);
}

void HtmlWriter::element(const char *tag, const QString &text, Attributes attributes)
{
    start(tag, attributes);
    this->text(text);
    end();
}

void HtmlWriter::raw(const char *markup)
{
    m_page += QLatin1String(markup);
}

QByteArray HtmlWriter::finish()
{
    while (!m_open.isEmpty())
        end();
    return m_page.toUtf8();
}
