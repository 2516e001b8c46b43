// SPDX-License-Identifier: GPL-3.0-or-later
#include "releasenotes.h"

#include "weblink.h"

#include <QSet>
#include <QTextDocument>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// Tags kept, without attributes ("a" keeps a web address).
const QSet<QString> &keptTags()
{
    static const QSet<QString> tags { u"a"_s, u"b"_s, u"blockquote"_s, u"br"_s, u"code"_s, u"dd"_s,
        u"div"_s, u"dl"_s, u"dt"_s, u"em"_s, u"h1"_s, u"h2"_s, u"h3"_s, u"h4"_s, u"h5"_s, u"h6"_s,
        u"hr"_s, u"i"_s, u"li"_s, u"ol"_s, u"p"_s, u"pre"_s, u"s"_s, u"small"_s, u"span"_s,
        u"strong"_s, u"sub"_s, u"sup"_s, u"table"_s, u"tbody"_s, u"td"_s, u"th"_s, u"thead"_s,
        u"tr"_s, u"tt"_s, u"u"_s, u"ul"_s };
    return tags;
}

// Tags dropped with everything inside them: their content is code, data or a document of its
// own, never text meant for the reader.
const QSet<QString> &droppedWithContent()
{
    static const QSet<QString> tags { u"applet"_s, u"audio"_s, u"canvas"_s, u"embed"_s,
        u"frameset"_s, u"head"_s, u"iframe"_s, u"math"_s, u"noembed"_s, u"noframes"_s,
        u"noscript"_s, u"object"_s, u"script"_s, u"select"_s, u"style"_s, u"svg"_s, u"template"_s,
        u"textarea"_s, u"title"_s, u"video"_s, u"xmp"_s };
    return tags;
}

bool isNameStart(QChar c)
{
    return c.unicode() < 128 && c.isLetter();
}

bool isNameChar(QChar c)
{
    return c.unicode() < 128 && (c.isLetterOrNumber() || c == u'-' || c == u':');
}

// One tag as read from the notes.
struct Tag {
    QString name; // lower case
    bool closing = false;
    QString href; // the raw value of an href attribute, if any
};

// Reads the attributes of a tag from @p at (after its name) to its closing '>'. Returns the
// index after the '>', or -1 when the tag never ends.
qsizetype readAttributes(const QString &html, qsizetype at, Tag &tag)
{
    const qsizetype n = html.size();
    while (at < n) {
        const QChar c = html[at];
        if (c == u'>')
            return at + 1;
        if (c.isSpace() || c == u'/') {
            ++at;
            continue;
        }
        const qsizetype nameStart = at;
        while (at < n && !html[at].isSpace() && html[at] != u'=' && html[at] != u'>'
            && html[at] != u'/')
            ++at;
        const QString name = html.sliced(nameStart, at - nameStart).toLower();
        while (at < n && html[at].isSpace())
            ++at;
        if (at >= n || html[at] != u'=')
            continue;
        ++at;
        while (at < n && html[at].isSpace())
            ++at;
        QString value;
        if (at < n && (html[at] == u'"' || html[at] == u'\'')) {
            const QChar quote = html[at];
            const qsizetype end = html.indexOf(quote, at + 1);
            if (end < 0)
                return -1;
            value = html.sliced(at + 1, end - at - 1);
            at = end + 1;
        } else {
            const qsizetype valueStart = at;
            while (at < n && !html[at].isSpace() && html[at] != u'>')
                ++at;
            value = html.sliced(valueStart, at - valueStart);
        }
        if (name == "href"_L1)
            tag.href = value;
    }
    return -1;
}

// The few character references that may appear in an address, decoded; anything else is kept
// as written (and so fails to be a web address if it matters).
QString decodeReferences(QString text)
{
    return text.replace("&amp;"_L1, "&"_L1)
        .replace("&quot;"_L1, "\""_L1)
        .replace("&#39;"_L1, "'"_L1)
        .replace("&lt;"_L1, "<"_L1)
        .replace("&gt;"_L1, ">"_L1);
}

QString emitTag(const Tag &tag)
{
    if (tag.name != "a"_L1)
        return (tag.closing ? u"</"_s : u"<"_s) + tag.name + u'>';
    if (tag.closing)
        return u"</a>"_s;
    const QUrl url(decodeReferences(tag.href).trimmed(), QUrl::StrictMode);
    if (!url.isRelative() && WebLink::isWeb(url))
        return u"<a href=\""_s + url.toString(QUrl::FullyEncoded).toHtmlEscaped() + u"\">"_s;
    return {};
}

// A character reference ("&amp;", "&#8212;", "&#x2014;") starting at @p at, or -1.
qsizetype referenceEnd(const QString &html, qsizetype at)
{
    qsizetype end = at + 1;
    if (end < html.size() && html[end] == u'#')
        ++end;
    const qsizetype start = end;
    while (end < html.size() && end - start < 32 && html[end].unicode() < 128
        && html[end].isLetterOrNumber())
        ++end;
    if (end == start || end >= html.size() || html[end] != u';')
        return -1;
    return end + 1;
}

} // namespace

namespace ReleaseNotes {

bool isPlainText(const QString &notes, bool declaredPlain)
{
    return declaredPlain || !notes.contains(u'<');
}

QString safeHtml(const QString &notes, bool declaredPlain)
{
    if (isPlainText(notes, declaredPlain))
        return Qt::convertFromPlainText(notes.trimmed(), Qt::WhiteSpaceNormal);

    const QString &html = notes;
    const qsizetype n = html.size();
    QString out;
    out.reserve(n);
    QString skipping; // the tag whose content is being dropped
    qsizetype at = 0;
    while (at < n) {
        const QChar c = html[at];
        if (c == u'<') {
            if (QStringView(html).sliced(at).startsWith("<!--"_L1)) {
                const qsizetype end = html.indexOf("-->"_L1, at + 4);
                at = end < 0 ? n : end + 3;
                continue;
            }
            if (at + 1 < n && (html[at + 1] == u'!' || html[at + 1] == u'?')) {
                const qsizetype end = html.indexOf(u'>', at);
                at = end < 0 ? n : end + 1;
                continue;
            }
            Tag tag;
            qsizetype nameAt = at + 1;
            if (nameAt < n && html[nameAt] == u'/') {
                tag.closing = true;
                ++nameAt;
            }
            if (nameAt >= n || !isNameStart(html[nameAt])) {
                // A lone "<" is text.
                if (skipping.isEmpty())
                    out += "&lt;"_L1;
                ++at;
                continue;
            }
            qsizetype nameEnd = nameAt;
            while (nameEnd < n && isNameChar(html[nameEnd]))
                ++nameEnd;
            tag.name = html.sliced(nameAt, nameEnd - nameAt).toLower();
            const qsizetype next = readAttributes(html, nameEnd, tag);
            if (next < 0)
                break; // a tag that never ends: nothing after it is trusted
            at = next;
            const bool selfClosing = html[next - 2] == u'/';
            if (!skipping.isEmpty()) {
                if (tag.closing && tag.name == skipping)
                    skipping.clear();
                continue;
            }
            if (droppedWithContent().contains(tag.name)) {
                if (!tag.closing && !selfClosing)
                    skipping = tag.name;
                continue;
            }
            if (keptTags().contains(tag.name))
                out += emitTag(tag);
            continue;
        }
        if (!skipping.isEmpty()) {
            ++at;
            continue;
        }
        if (c == u'&') {
            const qsizetype end = referenceEnd(html, at);
            if (end > 0) {
                out += html.sliced(at, end - at);
                at = end;
            } else {
                out += "&amp;"_L1;
                ++at;
            }
            continue;
        }
        if (c == u'>')
            out += "&gt;"_L1;
        else
            out += c;
        ++at;
    }
    return out;
}

} // namespace ReleaseNotes
