// libFuzzer entry for the widget-free FB data path: header check, load, grid and matrices.

#include "FBDataCase.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>

// A small machine: grids and matrices beyond it are refused, as they would be on a real one,
// and the refusals are fuzzed too instead of allocating and filling megabytes per input. Freed
// blocks stay in the heap for the next input rather than going back to the kernel, whose page
// faults on fresh memory took a quarter of the fuzzer's time.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("CROSSPLOT_MEMORY_AVAILABLE", "256K", 0);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    return 0;
}

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
