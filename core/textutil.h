// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

/// Small text rules shared by the model and the catalogues.
namespace TextUtil {

/// Removes spaces (any Unicode space separator) and tabs from both ends; line breaks stay.
QString trimSpacesAndTabs(const QString &text);
QStringView trimSpacesAndTabs(QStringView text);
/// Upper-cases the first letter of each whitespace-separated word and lower-cases the rest.
QString titleCase(const QString &text);

} // namespace TextUtil
