// SPDX-License-Identifier: GPL-3.0-or-later
#include "streamlink.h"

#include "textutil.h"
#include "weblink.h"

#include <QStringDecoder>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace StreamLink {

namespace {

std::optional<QUrl> strictUrl(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return std::nullopt;
    return url;
}

QString pathExtension(const QUrl &url)
{
    const QString file = url.path().section(u'/', -1);
    const qsizetype dot = file.lastIndexOf(u'.');
    return dot <= 0 ? QString() : file.mid(dot + 1).toLower();
}

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x0A: // line feed
    case 0x0B: // vertical tab
    case 0x0C: // form feed
    case 0x0D: // carriage return
    case 0x85: // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<QUrl> parse(const QString &link)
{
    const std::optional<QUrl> url = strictUrl(link.trimmed());
    if (!url || !url->scheme().startsWith("http"_L1))
        return std::nullopt;
    return url;
}

std::optional<QUrl> directoryStream(const QUrl &url, const QUrl &streamBase)
{
    if (!url.path().contains("hlisten.php"_L1))
        return std::nullopt;
    const QUrlQuery query(url);
    if (!query.hasQueryItem(u"mount"_s))
        return std::nullopt;
    const QString mount = query.queryItemValue(u"mount"_s, QUrl::FullyDecoded);
    if (mount.isEmpty())
        return std::nullopt;
    return strictUrl(streamBase.toString() + mount);
}

bool isPlaylist(const QUrl &url)
{
    return pathExtension(url) == "pls"_L1;
}

std::optional<QUrl> playlistEntry(const QByteArray &body)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    const QString text = decoder.decode(body);
    if (decoder.hasError())
        return std::nullopt;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isLineBreak(text.at(end)))
            ++end;
        const QStringView line = QStringView(text).sliced(start, end - start);
        if (line.startsWith("File1="_L1))
            return strictUrl(TextUtil::trimSpacesAndTabs(line.sliced(6)).toString());
        start = end + 1;
    }
    return std::nullopt;
}

QUrl upgraded(const QUrl &url, const QString &domain)
{
    if (url.scheme() != "http"_L1 || !url.host().endsWith(domain))
        return url;
    QUrl secure = url;
    secure.setScheme(u"https"_s);
    return secure.isValid() ? secure : url;
}

bool isPlayable(const QUrl &url)
{
    // Playlists the app does not read are refused here too, so that a playlist entry pointing
    // at another playlist ends as offline rather than as noise.
    const QString extension = pathExtension(url);
    return WebLink::isWeb(url) && extension != "pls"_L1 && extension != "m3u"_L1;
}

} // namespace StreamLink
