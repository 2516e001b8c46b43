// SPDX-License-Identifier: GPL-3.0-or-later
#include "appcast.h"

#include <QXmlStreamReader>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A version split into its numbers and the pre-release suffix that follows them.
struct Version {
    QList<QStringView> numbers; // digits only, leading zeros removed
    QStringView suffix; // empty for a release
};

QStringView withoutLeadingZeros(QStringView digits)
{
    while (digits.size() > 1 && digits.front() == u'0')
        digits = digits.sliced(1);
    return digits;
}

qsizetype digitRun(QStringView text, qsizetype from)
{
    qsizetype end = from;
    while (end < text.size() && text[end].isDigit() && text[end].unicode() < 128)
        ++end;
    return end;
}

Version parse(QStringView text)
{
    text = text.trimmed();
    if (text.size() > 1 && (text.front() == u'v' || text.front() == u'V') && text[1].isDigit())
        text = text.sliced(1);
    // Build metadata says nothing about order.
    if (const qsizetype plus = text.indexOf(u'+'); plus >= 0)
        text = text.first(plus);
    Version version;
    qsizetype at = 0;
    while (true) {
        const qsizetype end = digitRun(text, at);
        if (end == at)
            break;
        version.numbers << withoutLeadingZeros(text.sliced(at, end - at));
        at = end;
        // Another component only when a dot leads to more digits; anything else starts the
        // suffix.
        if (at + 1 < text.size() && text[at] == u'.' && digitRun(text, at + 1) > at + 1)
            ++at;
        else
            break;
    }
    QStringView rest = text.sliced(at);
    while (
        !rest.isEmpty() && (rest.front() == u'-' || rest.front() == u'.' || rest.front() == u'_'))
        rest = rest.sliced(1);
    version.suffix = rest.trimmed();
    return version;
}

// Compares digit strings without leading zeros, of any length, without overflowing.
int compareNumbers(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

// The parts of a pre-release suffix: runs of digits and runs of anything else that is neither
// a separator nor a digit.
QList<QStringView> suffixParts(QStringView suffix)
{
    QList<QStringView> parts;
    qsizetype at = 0;
    while (at < suffix.size()) {
        const QChar c = suffix[at];
        if (c == u'.' || c == u'-' || c == u'_' || c.isSpace()) {
            ++at;
            continue;
        }
        qsizetype end = digitRun(suffix, at);
        if (end == at) {
            while (end < suffix.size() && !suffix[end].isDigit() && suffix[end] != u'.'
                && suffix[end] != u'-' && suffix[end] != u'_' && !suffix[end].isSpace())
                ++end;
        }
        parts << suffix.sliced(at, end - at);
        at = end;
    }
    return parts;
}

int compareSuffixes(QStringView a, QStringView b)
{
    // A release comes after any of its pre-releases.
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() == b.isEmpty() ? 0 : (a.isEmpty() ? 1 : -1);
    const QList<QStringView> left = suffixParts(a);
    const QList<QStringView> right = suffixParts(b);
    for (qsizetype i = 0; i < std::min(left.size(), right.size()); ++i) {
        const bool leftNumber = left[i].front().isDigit();
        const bool rightNumber = right[i].front().isDigit();
        int order = 0;
        if (leftNumber && rightNumber)
            order = compareNumbers(withoutLeadingZeros(left[i]), withoutLeadingZeros(right[i]));
        else if (leftNumber != rightNumber)
            order = leftNumber ? -1 : 1; // as in Semantic Versioning: numbers sort first
        else
            order = left[i].compare(right[i], Qt::CaseInsensitive);
        if (order != 0)
            return order < 0 ? -1 : 1;
    }
    // "beta" before "beta.2"
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return 0;
}

QUrl webAddress(const QString &text, const QUrl &base)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QUrl url = base.resolved(QUrl(trimmed));
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != "http"_L1 && scheme != "https"_L1) || url.host().isEmpty())
        return {};
    return url;
}

bool isSparkle(const QXmlStreamReader &xml, QLatin1StringView name)
{
    return xml.namespaceUri() == Appcast::sparkleNamespace && xml.name() == name;
}

bool isPlain(const QXmlStreamReader &xml, QLatin1StringView name)
{
    return xml.namespaceUri().isEmpty() && xml.name() == name;
}

// Reads one item; the reader stands on its start tag and ends on its end tag. Absent when the
// item is of no use, or when a channel other than the default one holds it.
std::optional<AppcastItem> readItem(QXmlStreamReader &xml, const QUrl &base)
{
    AppcastItem item;
    QString version;
    QString shortVersion;
    QString enclosureVersion;
    QString enclosureShortVersion;
    bool otherChannel = false;
    bool haveEnclosure = false;
    bool haveNotesLink = false;
    while (xml.readNextStartElement()) {
        const auto text = [&xml] {
            return xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        };
        if (isPlain(xml, "title"_L1)) {
            item.title = text().simplified();
        } else if (isPlain(xml, "link"_L1)) {
            item.link = webAddress(text(), base);
        } else if (isPlain(xml, "description"_L1)) {
            item.descriptionIsPlainText =
                xml.attributes().value(Appcast::sparkleNamespace, "format"_L1) == "plain-text"_L1;
            item.description = text();
        } else if (isPlain(xml, "pubDate"_L1)) {
            item.publishedAt = QDateTime::fromString(text(), Qt::RFC2822Date);
        } else if (isSparkle(xml, "version"_L1)) {
            version = text();
        } else if (isSparkle(xml, "shortVersionString"_L1)) {
            shortVersion = text();
        } else if (isSparkle(xml, "releaseNotesLink"_L1)) {
            // One per language may follow; the first is the one shown.
            const QUrl url = webAddress(text(), base);
            if (!haveNotesLink)
                item.releaseNotesUrl = url;
            haveNotesLink = true;
        } else if (isSparkle(xml, "channel"_L1)) {
            otherChannel = !text().isEmpty();
        } else if (isPlain(xml, "enclosure"_L1) && !haveEnclosure) {
            haveEnclosure = true;
            const QXmlStreamAttributes attributes = xml.attributes();
            item.downloadUrl = webAddress(attributes.value("url"_L1).toString(), base);
            enclosureVersion =
                attributes.value(Appcast::sparkleNamespace, "version"_L1).toString().trimmed();
            enclosureShortVersion =
                attributes.value(Appcast::sparkleNamespace, "shortVersionString"_L1)
                    .toString()
                    .trimmed();
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
    // The child elements are Sparkle 2's form and win over the enclosure's attributes.
    item.version = version.isEmpty() ? enclosureVersion : version;
    item.shortVersionString = shortVersion.isEmpty() ? enclosureShortVersion : shortVersion;
    if (xml.hasError() || otherChannel || !Appcast::isVersion(item.version)
        || item.downloadPage().isEmpty())
        return std::nullopt;
    return item;
}

} // namespace

QString AppcastItem::displayVersionString() const
{
    return shortVersionString.isEmpty() ? version : shortVersionString;
}

QUrl AppcastItem::downloadPage() const
{
    return downloadUrl.isEmpty() ? link : downloadUrl;
}

namespace Appcast {

int compareVersions(QStringView a, QStringView b)
{
    const Version left = parse(a);
    const Version right = parse(b);
    const qsizetype count = std::max(left.numbers.size(), right.numbers.size());
    for (qsizetype i = 0; i < count; ++i) {
        // A missing component counts as 0: "1.2" is "1.2.0".
        const QStringView x = i < left.numbers.size() ? left.numbers[i] : u"0";
        const QStringView y = i < right.numbers.size() ? right.numbers[i] : u"0";
        if (const int order = compareNumbers(x, y); order != 0)
            return order;
    }
    return compareSuffixes(left.suffix, right.suffix);
}

bool isVersion(QStringView version)
{
    return !parse(version).numbers.isEmpty();
}

QUrl feedUnder(const QUrl &homepage)
{
    QUrl feed = homepage;
    QString path = feed.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    feed.setPath(path + u"/appcast.xml"_s);
    feed.setQuery(QString());
    feed.setFragment(QString());
    return feed;
}

std::optional<QList<AppcastItem>> decode(const QByteArray &body, const QUrl &base, QString *error)
{
    const auto fail = [error](const QString &reason) -> std::optional<QList<AppcastItem>> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    const QString unreadable = u"The update feed is not well-formed XML."_s;
    QXmlStreamReader xml(body);
    while (!xml.atEnd() && !xml.isStartElement()) {
        // Appcasts have no document type; one that declares entities is an attack, not a feed.
        if (xml.readNext() == QXmlStreamReader::DTD)
            return fail(u"The update feed is not an appcast."_s);
    }
    if (xml.hasError() || !xml.isStartElement())
        return fail(unreadable);
    if (!isPlain(xml, "rss"_L1))
        return fail(u"The update feed is not an appcast."_s);

    QList<AppcastItem> items;
    while (xml.readNextStartElement()) {
        if (!isPlain(xml, "channel"_L1)) {
            xml.skipCurrentElement();
            continue;
        }
        while (xml.readNextStartElement()) {
            if (!isPlain(xml, "item"_L1)) {
                xml.skipCurrentElement();
                continue;
            }
            if (auto item = readItem(xml, base))
                items << *item;
        }
    }
    // Read to the end, so that a document broken after its items still counts as broken.
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError())
        return fail(unreadable);
    if (items.isEmpty())
        return fail(u"The update feed lists no version."_s);
    return items;
}

std::optional<AppcastItem> newest(const QList<AppcastItem> &items)
{
    const auto found = std::max_element(
        items.begin(), items.end(), [](const AppcastItem &a, const AppcastItem &b) {
            return compareVersions(a.version, b.version) < 0;
        });
    if (found == items.end())
        return std::nullopt;
    return *found;
}

} // namespace Appcast
