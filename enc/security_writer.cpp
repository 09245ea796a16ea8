#include "security_writer.h"

#include "security/crypto.h"

namespace svacenc {

void write_security_params(BitWriter &bw, const SecurityParams &sp) {
    bw.put1(sp.encryption_flag);
    bw.put1(sp.authentication_flag);
    if (sp.encryption_flag) bw.put(sp.encryption_type & 15, 4);
    if (sp.authentication_flag) {
        bw.put(sp.hash_type & 15, 4);
        for (bool f : sp.auth_flags) bw.put1(f);
        bw.put(sp.sign_type & 15, 4);
        if (sp.sign_type) {
            bw.put((sp.sign_param[0] - 1) & 255, 8);
            bw.put((sp.sign_param[1] - 1) & 255, 8);
        }
    }
}

namespace {

size_t trailing_zeros(const std::vector<uint8_t> &v) {
    size_t n = 0;
    while (n < v.size() && v[v.size() - 1 - n] == 0) n++;
    return n;
}

}  // namespace

std::vector<uint8_t> encipher_payload(const std::vector<uint8_t> &payload, const CipherKey &key) {
    std::vector<uint8_t> k = key.key;
    size_t block;
    if (key.type == CIPHER_DES) {
        k.resize(8);
        block = 8;
    } else if (key.type == CIPHER_AES && (k.size() == 16 || k.size() == 24 || k.size() == 32)) {
        block = 16;
    } else {
        return {};
    }
    SvacCipherCtx *ctx = VQ_SVACDEC_crypto_open(key.type);
    if (!ctx) return {};
    VQ_SVACDEC_crypto_set_key(ctx, k.data(), static_cast<int32_t>(k.size()));

    std::vector<uint8_t> plain = payload;
    plain.resize((plain.size() + block - 1) / block * block, 0);
    size_t pad = trailing_zeros(plain);
    std::vector<uint8_t> out(plain.size());
    // ECB: an added zero block leaves the earlier ciphertext as it was. The
    // loop ends unless the zero block enciphers to zeros, which no usable key
    // does; the bound only keeps a broken cipher from spinning.
    for (int tries = 0; tries < 8; tries++) {
        out.resize(plain.size());
        VQ_SVACDEC_crypto_encrypt(ctx, out.data(), plain.data(), static_cast<int32_t>(plain.size()));
        if (trailing_zeros(out) <= pad) break;
        plain.resize(plain.size() + block, 0);
        pad += block;
    }
    VQ_SVACDEC_crypto_close(ctx);
    return out;
}

void append_encrypted_nal(std::vector<uint8_t> &out, NalHeader h, const std::vector<uint8_t> &payload,
                          const CipherKey &key) {
    h.encrypted = true;
    append_nal(out, h, encipher_payload(payload, key));
}

}  // namespace svacenc
