// libFuzzer entry for the widget-free FB data path: header check, load, grid and matrices.

#include "FBDataCase.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Inputs beyond a few MB add nothing that a short file with a forged header does not.
    if (size > 16 * 1024 * 1024)
        return 0;
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const QString failure = FBDataCase::run(input);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "broken invariant: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
