// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QColor;
class QLabel;
class QLineEdit;
class QWidget;

// A label that shows its text exactly as written, never as markup: for every text that may
// come from outside (the feed, the lookups, a service's error).
QLabel *plainLabel(const QString &text, QWidget *parent, const QString &objectName = {});

// Tells screen readers that @p label is a link while @p isLink holds: role Link, named by its
// accessible name or its text, and pressed as Enter presses it.
void setLinkRole(QLabel *label, bool isLink);

// Shows a clear button at the end of @p field while it holds text, named "Clear" for screen
// readers (Qt's own has no name, and is read out as a bare "button").
void enableClearButton(QLineEdit *field);

// Draws @p widget's text in @p color (its palette's window text).
void setTextColor(QWidget *widget, const QColor &color);
