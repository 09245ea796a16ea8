// The security parameter set and deciphering: the first byte chooses the
// cipher (bit 0: AES or DES), the key length (bits 1-2: 8, 16, 24 or 32
// bytes) and whether the host installs the key (bit 3); the key bytes follow,
// then unit records (fuzz_units.h) whose enciphered payloads the decoder must
// decipher back to what the fuzzer wrote.
#include "fuzz_host.h"
#include "fuzz_units.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool init = svacfuzz::init();
    (void)init;
    if (size < 1) return 0;
    svacenc::CipherKey key;
    key.type = data[0] & 1 ? svacenc::CIPHER_AES : svacenc::CIPHER_DES;
    const size_t len = std::min<size_t>(8 * (1 + ((data[0] >> 1) & 3)), size - 1);
    key.key.assign(data + 1, data + 1 + len);
    void *dec = VQ_SVAC_Dec_Open();
    if (data[0] & 8) VQ_SVAC_Set_Key(dec, key.key.data(), static_cast<uint32_t>(len));
    const std::vector<uint8_t> units = svacfuzz::units_from_records(data + 1 + len, size - 1 - len, &key);
    svacfuzz::feed(dec, units.data(), units.size(), svacfuzz::kPerUnit, 0, 0, [](int32_t) {});
    svacfuzz::drain(dec);
    VQ_SVAC_Dec_Close(dec);
    return 0;
}
