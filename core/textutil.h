// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

/// Small text rules shared by the model and the catalogues.
namespace TextUtil {

/// Removes spaces (any Unicode space separator) and tabs from both ends; line breaks stay.
QString trimSpacesAndTabs(const QString &text);
QStringView trimSpacesAndTabs(QStringView text);
/// @p value rounded to @p decimals decimals ("320", "12.5"; whole numbers round half away from
/// zero). Beyond a billion, three significant digits in scientific notation ("1.84e+19"), so a
/// feed's nonsense stays short; "—" when the value is not finite.
QString formatNumber(double value, int decimals = 0);
/// A tooltip that shows @p text exactly as written. Qt reads any tooltip that looks like
/// markup as rich text, so outside text (a callsign, a feed's error) would otherwise render
/// tags, follow links or load images from local files.
QString plainToolTip(const QString &text);
/// Whether every character is ASCII: case changes there keep the length and one character
/// for one, so such text can be compared case-insensitively in place.
bool isAscii(QStringView text);
/// Upper-cases the first letter of each whitespace-separated word and lower-cases the rest.
QString titleCase(const QString &text);

} // namespace TextUtil
