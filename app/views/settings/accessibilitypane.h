// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class Preferences;

// Settings → Accessibility: motion, text size with its preview, contrast and symbols, and a
// word about screen readers.
class AccessibilityPane : public QWidget {
    Q_OBJECT
public:
    AccessibilityPane(Preferences *preferences, QWidget *parent);
};
