// SPDX-License-Identifier: GPL-3.0-or-later
#include "lookupsupport.h"

#include <QJsonValue>

using namespace Qt::StringLiterals;

namespace LookupSupport {

QUrl keyedUrl(const QUrl &base, const QString &path, const QString &key)
{
    if (key.isEmpty() || key == "."_L1 || key == ".."_L1)
        return {};
    const QByteArray text = base.toEncoded() + path.toUtf8() + QUrl::toPercentEncoding(key);
    const auto url = webUrl(QString::fromLatin1(text));
    return url ? *url : QUrl();
}

bool readText(const QJsonObject &object, QLatin1StringView key, std::optional<QString> &out)
{
    out.reset();
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    const QString text = value.toString().trimmed();
    if (!text.isEmpty())
        out = text;
    return true;
}

bool readObject(const QJsonObject &object, QLatin1StringView key, std::optional<QJsonObject> &out)
{
    out.reset();
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isObject())
        return false;
    out = value.toObject();
    return true;
}

std::optional<QUrl> webUrl(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != "http"_L1 && scheme != "https"_L1) || url.host().isEmpty())
        return std::nullopt;
    return url;
}

} // namespace LookupSupport
