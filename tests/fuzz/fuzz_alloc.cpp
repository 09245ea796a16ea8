// Allocation failures: the first two bytes choose which allocation fails;
// the rest is a stream as in fuzz_stream. Fed one unit per call, a call
// during which an allocation failed returns -1, or -2 when the payload buffer
// could not grow (nothing when the unit is of a skipped type, or when only a
// security context could not be opened, since such sets are ignored). In
// every feeding the instance goes on with the rest, and closing it releases
// everything (the leak checker sees the rest).
#include "decoder/decoder.h"
#include "fuzz_host.h"

namespace {

bool allowed(const SvacDecoder *dec, int32_t r) {
    const SvacSecurityState &s = dec->sec;
    const bool context_missing =
        (s.encryption_flag && !s.cipher) ||
        (s.authentication_flag && (!s.hash1 || !s.hash2 || (s.sign_type && !s.sign)));
    return r == -1 || !dec->nal_buffer || context_missing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool init = svacfuzz::init();
    (void)init;
    if (size < 2) return 0;
    svac_mem_fail(data[0] | data[1] << 8, svacfuzz::kFuzzAllocLimit);
    data += 2, size -= 2;
    void *dec = VQ_SVAC_Dec_Open();
    if (dec) {
        const svacfuzz::Settings s = svacfuzz::read_settings(dec, data, size);
        uint64_t refused = svac_mem_refused();
        svacfuzz::feed(dec, data, size, s.how, s.mask, s.seed, [&](int32_t r) {
            if (s.how == svacfuzz::kPerUnit && svac_mem_refused() != refused &&
                !allowed(static_cast<SvacDecoder *>(dec), r))
                std::abort();
            refused = svac_mem_refused();
        });
        svacfuzz::drain(dec);
    }
    VQ_SVAC_Dec_Close(dec);
    svac_mem_fail(-1, svacfuzz::kFuzzAllocLimit);
    return 0;
}
