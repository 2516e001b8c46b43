// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// What the feed decoder must refuse as malformed: whatever simdjson's document parser refuses,
// except integers beyond 64 bits, which that parser refuses but JSON allows and the decoder
// reads as numbers.
namespace JsonReference {

bool accepts(const QByteArray &json);

} // namespace JsonReference
