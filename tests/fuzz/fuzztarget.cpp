// SPDX-License-Identifier: GPL-3.0-or-later
// One libFuzzer target; SKYVELLE_FUZZ_ENTRY names the FuzzEntries function it drives.
#include "fuzzentries.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // No copy: the fuzzer's buffer is exactly the input's size, so the address sanitizer sees
    // any read past its end.
    SKYVELLE_FUZZ_ENTRY(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
