// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// Release notes from an appcast, made safe to show in a rich-text view.
namespace ReleaseNotes {

/// Whether @p notes are to be read as plain text: when the feed says so, or when they hold no
/// markup at all.
bool isPlainText(const QString &notes, bool declaredPlain);

/// HTML that shows @p notes and can do nothing else. Plain text is escaped, with its line
/// breaks kept. HTML keeps a small set of text-formatting tags (paragraphs, line breaks,
/// headings, lists, emphasis, code, quotes, tables) without any of their attributes; a link
/// keeps its address when it is an absolute http(s) one and loses its tag otherwise. Every
/// other tag is dropped, its text kept, except that scripts, styles, embedded documents,
/// forms' fields and media are dropped with their content. No image, style sheet or other
/// resource survives, so showing the result fetches nothing and runs nothing.
QString safeHtml(const QString &notes, bool declaredPlain = false);

} // namespace ReleaseNotes
