// SPDX-License-Identifier: GPL-3.0-or-later
#include "atcfavorite.h"

#include "textutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

ATCFavorite ATCFavorite::make(const QString &name, const QString &link)
{
    return { QUuid::createUuid(), name, TextUtil::trimSpacesAndTabs(link) };
}

QByteArray ATCFavorite::encodeList(const QList<ATCFavorite> &favorites)
{
    QJsonArray array;
    for (const ATCFavorite &favorite : favorites) {
        array.append(QJsonObject {
            { u"id"_s, favorite.id.toString(QUuid::WithoutBraces).toUpper() },
            { u"name"_s, favorite.name },
            { u"url"_s, favorite.url },
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<ATCFavorite>> ATCFavorite::decodeList(const QByteArray &bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isArray())
        return std::nullopt;
    QList<ATCFavorite> favorites;
    for (const QJsonValue &entry : document.array()) {
        const QJsonObject object = entry.toObject();
        const QJsonValue id = object.value("id"_L1);
        const QJsonValue name = object.value("name"_L1);
        const QJsonValue url = object.value("url"_L1);
        if (!id.isString() || !name.isString() || !url.isString())
            return std::nullopt;
        const QUuid uuid = QUuid::fromString(id.toString());
        if (uuid.isNull())
            return std::nullopt;
        favorites.append({ uuid, name.toString(), url.toString() });
    }
    return favorites;
}
