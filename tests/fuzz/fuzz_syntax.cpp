// Parameter sets, slice headers and the first macroblocks: the input is a
// list of unit records (fuzz_units.h) after the host settings.
#include "fuzz_host.h"
#include "fuzz_units.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool init = svacfuzz::init();
    (void)init;
    void *dec = VQ_SVAC_Dec_Open();
    const svacfuzz::Settings s = svacfuzz::read_settings(dec, data, size);
    const std::vector<uint8_t> units = svacfuzz::units_from_records(data, size, nullptr);
    svacfuzz::feed(dec, units.data(), units.size(), s.how, s.mask, s.seed, [](int32_t) {});
    svacfuzz::drain(dec);
    VQ_SVAC_Dec_Close(dec);
    return 0;
}
