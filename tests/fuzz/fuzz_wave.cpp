// The sound file's header reader on any bytes and any file size: no undefined behaviour, and a
// length that only grows with the file, as a data chunk counts only what the file holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <limits>
#include <string>

#include "platform/desktop/linux/WaveLength.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto fileSize = in.ConsumeIntegral<qint64>();
    const auto smaller =
        in.ConsumeIntegralInRange<qint64>(std::numeric_limits<qint64>::min(), fileSize);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const QByteArray head(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const auto length = dirtally::waveLength(head, fileSize);
    const auto shorter = dirtally::waveLength(head, smaller);
    if (length.has_value() != shorter.has_value() ||
        (length && (shorter->count() < 0 || *shorter > *length))) {
        std::abort();
    }
    return 0;
}
