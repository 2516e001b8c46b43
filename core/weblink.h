// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

/// Opening addresses in the user's browser.
namespace WebLink {

/// True for an absolute http(s) address with a host.
bool isWeb(const QUrl &url);
/// Opens @p url in the default browser when it is a web address; anything else (a local file,
/// another program's scheme) from a service or a setting is refused. False when refused.
bool open(const QUrl &url);

} // namespace WebLink
