// libFuzzer entry point; the work is done in targets/.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return qev::fuzz::swfReaderTarget(data, size);
}
