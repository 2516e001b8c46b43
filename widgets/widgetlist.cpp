// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgetlist.h"

#include "safefile.h"
#include "skyvellewidgetbundle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

QString familyName(WidgetFamily family)
{
    switch (family) {
    case WidgetFamily::Small:
        return u"small"_s;
    case WidgetFamily::Medium:
        return u"medium"_s;
    case WidgetFamily::Large:
        return u"large"_s;
    }
    return {};
}

std::optional<WidgetFamily> familyNamed(const QString &name)
{
    for (const WidgetFamily family :
        { WidgetFamily::Small, WidgetFamily::Medium, WidgetFamily::Large }) {
        if (familyName(family) == name)
            return family;
    }
    return std::nullopt;
}

namespace {

std::optional<PlacedWidget> decoded(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    const QJsonValue x = object.value(u"x"_s);
    const QJsonValue y = object.value(u"y"_s);
    const std::optional<WidgetFamily> family = familyNamed(object.value(u"family"_s).toString());
    if (!family || !x.isDouble() || !y.isDouble() || !object.value(u"screen"_s).isString())
        return std::nullopt;
    PlacedWidget widget { object.value(u"kind"_s).toString(), *family,
        object.value(u"screen"_s).toString(), QPoint(x.toInt(), y.toInt()) };
    if (!SkyvelleWidgetBundle::layout(widget.kind, widget.family))
        return std::nullopt;
    return widget;
}

std::optional<QList<PlacedWidget>> decoded(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const QJsonValue list = document.object().value(u"widgets"_s);
    if (error.error != QJsonParseError::NoError || !list.isArray())
        return std::nullopt;
    QList<PlacedWidget> widgets;
    for (const QJsonValue &value : list.toArray()) {
        const std::optional<PlacedWidget> widget = decoded(value);
        if (!widget)
            return std::nullopt;
        widgets << *widget;
    }
    return widgets;
}

} // namespace

namespace WidgetList {

QList<PlacedWidget> load(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    std::optional<QList<PlacedWidget>> widgets;
    if (file.open(QIODevice::ReadOnly))
        widgets = decoded(file.readAll());
    file.close();
    if (!widgets) {
        const QString aside = path + u".bad"_s;
        QFile::remove(aside);
        QFile::rename(path, aside);
        return {};
    }
    return *widgets;
}

bool save(const QString &path, const QList<PlacedWidget> &widgets)
{
    QJsonArray list;
    for (const PlacedWidget &widget : widgets) {
        list.append(QJsonObject { { u"kind"_s, widget.kind },
            { u"family"_s, familyName(widget.family) }, { u"screen"_s, widget.screen },
            { u"x"_s, widget.position.x() }, { u"y"_s, widget.position.y() } });
    }
    const QByteArray bytes = QJsonDocument(QJsonObject { { u"widgets"_s, list } }).toJson();
    return QDir().mkpath(QFileInfo(path).absolutePath()) && SafeFile::write(path, bytes);
}

} // namespace WidgetList
