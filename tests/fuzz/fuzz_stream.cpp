// The whole stream through the host API; the head of the input chooses the
// feeding, the layer mask and the key.
#include "fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool init = svacfuzz::init();
    (void)init;
    void *dec = VQ_SVAC_Dec_Open();
    const svacfuzz::Settings s = svacfuzz::read_settings(dec, data, size);
    svacfuzz::feed(dec, data, size, s.how, s.mask, s.seed, [](int32_t) {});
    svacfuzz::drain(dec);
    VQ_SVAC_Dec_Close(dec);
    return 0;
}
