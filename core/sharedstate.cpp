// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharedstate.h"

#include "safefile.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <pwd.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString homeKey = u"home"_s;
const QString radiusKey = u"radiusNM"_s;
const QString unitKey = u"distanceUnit"_s;
const QString colorKey = u"widgetColorHex"_s;

// The user database first, so a process whose HOME points into a private container still
// finds the same folder as the application. getpwuid_r because the widget process may read
// from a worker thread.
QString userHomeDirectory()
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry {};
    passwd *result = nullptr;
    while (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (result && result->pw_dir && *result->pw_dir)
        return QFile::decodeName(result->pw_dir);
    return QDir::homePath();
}

// Absent: key missing or null. Failure (outer absent): present with another type.
std::optional<std::optional<QString>> optionalString(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::optional<QString> {};
    if (!value.isString())
        return std::nullopt;
    return std::optional<QString> { value.toString() };
}

} // namespace

namespace SharedState {

QString directory()
{
    // XDG asks that a relative XDG_DATA_HOME be ignored.
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.startsWith(u'/'))
        return dataHome + u"/Skyvelle"_s;
    return userHomeDirectory() + u"/.local/share/Skyvelle"_s;
}

QString filePath(const QString &directory)
{
    return directory + u"/widget-config.json"_s;
}

bool write(const Config &config, const QString &directory)
{
    QDir().mkpath(directory);

    const auto home = config.home.toJson();
    if (!home || !isValidRadius(config.radiusNM))
        return false;
    QJsonObject object { { homeKey, *home }, { radiusKey, config.radiusNM } };
    if (config.distanceUnit)
        object.insert(unitKey, *config.distanceUnit);
    if (config.widgetColorHex)
        object.insert(colorKey, *config.widgetColorHex);

    return SafeFile::write(
        filePath(directory), QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<Config> read(const QString &directory)
{
    QFile file(filePath(directory));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decode(file.readAll());
}

std::optional<Config> decode(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();

    const QJsonValue homeValue = object.value(homeKey);
    const QJsonValue radius = object.value(radiusKey);
    if (!homeValue.isObject() || !radius.isDouble() || !isValidRadius(radius.toDouble()))
        return std::nullopt;
    const auto home = HomeLocation::fromJson(homeValue.toObject());
    const auto unit = optionalString(object, unitKey);
    const auto color = optionalString(object, colorKey);
    if (!home || !unit || !color)
        return std::nullopt;
    return Config { *home, radius.toDouble(), *unit, *color };
}

bool isValidRadius(double radiusNM)
{
    // Written so that NaN fails both comparisons.
    return radiusNM > 0.0 && radiusNM <= maximumRadiusNM;
}

void clear(const QString &directory)
{
    QFile::remove(filePath(directory));
}

} // namespace SharedState
