// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// Small text rules shared by the model and the catalogues.
namespace TextUtil {

/// Removes spaces and tabs (only those) from both ends.
QString trimSpacesAndTabs(const QString &text);
/// Upper-cases the first letter of each whitespace-separated word and lower-cases the rest.
QString titleCase(const QString &text);

} // namespace TextUtil
