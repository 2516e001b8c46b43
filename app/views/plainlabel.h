// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QLabel;
class QWidget;

// A label that shows its text exactly as written, never as markup: for every text that may
// come from outside (the feed, the lookups, a service's error).
QLabel *plainLabel(const QString &text, QWidget *parent, const QString &objectName = {});
