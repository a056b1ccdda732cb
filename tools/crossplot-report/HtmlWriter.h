#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <utility>

// Writes a page as well-formed XHTML: every text and every attribute value is escaped where it
// is written, so no file name can break the page or a link. Only the page's own constant style
// and script go in unescaped (raw()).
class HtmlWriter
{
public:
    using Attributes = std::initializer_list<std::pair<const char *, QString>>;

    // Opens an element; attributes with a null value are left out.
    void start(const char *tag, Attributes attributes = {});
    void end();
    // An element without content, such as <img/> or <br/>.
    void empty(const char *tag, Attributes attributes = {});
    void text(const QString &text);
    // An element that holds nothing but text.
    void element(const char *tag, const QString &text, Attributes attributes = {});
    void raw(const char *markup);

    // The page so far, with every open element closed.
    QByteArray finish();

    static QString escaped(const QString &text);

private:
    void open(const char *tag, Attributes attributes);
    QString m_page;
    QStringList m_open;
};
