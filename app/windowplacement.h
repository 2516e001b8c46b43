// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Shows @p window de-minimised, in front and focused. When it was hidden it opens centred on
// the screen of @p near (else its own) and no larger than that screen's free area.
void presentWindow(QWidget *window, const QWidget *near);
