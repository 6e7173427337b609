// Any bytes through the LZW decoder and the package reader; and any bytes compressed
// then decompressed must come back equal.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ringtone/LzwDecoder.h"
#include "ringtone/LzwEncoder.h"
#include "ringtone/RingtonePackage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> out;
    std::string error;
    if (LzwDecompress(data, size, 1u << 20, out, error) && out.size() > (1u << 20))
        std::abort();

    RingtonePackageParts parts;
    (void)ReadRingtonePackage(data, size, parts, error);
    (void)SplitRingtonePackage(data, size, parts, error);

    std::vector<std::uint8_t> packed = LzwCompressBytes(data, size);
    std::vector<std::uint8_t> back;
    if (!LzwDecompress(packed.data(), packed.size(), size + 1, back, error) ||
        back != std::vector<std::uint8_t>(data, data + size))
        std::abort();
    return 0;
}
