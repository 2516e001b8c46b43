// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// One part of a help page: an optional heading, its paragraphs, then an optional two-column
// table (a key and what it does, a file and what it holds).
struct HelpSection {
    QString heading;
    QStringList paragraphs;
    QList<std::pair<QString, QString>> table = {};
};

// One topic of the Help window: its sidebar title, its symbol and its page.
struct HelpTopic {
    QString title;
    QString symbol;
    QList<HelpSection> sections;
};

namespace HelpTopics {

// The guide, in sidebar order.
QList<HelpTopic> all();

} // namespace HelpTopics
