// Security parameter set: which cipher deciphers marked NAL units and which
// digest and signature algorithms authentication would use. Contexts are
// opened only when the named algorithm changes, so a repeated set keeps the
// open cipher and the key installed with it.
#include "decoder/secure_params.h"

#include <cstring>

#include "decoder/decoder.h"
#include "security/crypto.h"

namespace {

// The key in force until the host sets one: the 16 ASCII bytes
// "svac default key".
constexpr uint8_t kDefaultKey[16] = {'s', 'v', 'a', 'c', ' ', 'd', 'e', 'f',
                                     'a', 'u', 'l', 't', ' ', 'k', 'e', 'y'};

void parse(SvacBitReader *br, SvacSecurityState *s) {
    s->encryption_flag = svac_br_read1(br);
    s->authentication_flag = svac_br_read1(br);
    if (s->encryption_flag) s->encryption_type = svac_br_read(br, 4);
    if (s->authentication_flag) {
        s->hash_type = svac_br_read(br, 4);
        for (int32_t &f : s->auth_flags) f = svac_br_read1(br);
        s->sign_type = svac_br_read(br, 4);
        if (s->sign_type) {
            s->sign_param[0] = svac_br_read(br, 8) + 1;
            s->sign_param[1] = svac_br_read(br, 8) + 1;
        }
    }
}

}  // namespace

int32_t VQ_SVACDEC_decode_secure_parameter_set(SvacDecoder *dec) {
    SvacSecurityState *s = &dec->sec;
    parse(&dec->br, s);

    if (s->encryption_flag && s->encryption_type != s->open_cipher_type) {
        VQ_SVACDEC_crypto_close(s->cipher);
        s->cipher = VQ_SVACDEC_crypto_open(s->encryption_type);
        // The open type stays as it was, so the next set tries again.
        if (!s->cipher) return -1;
        s->open_cipher_type = s->encryption_type;
        VQ_SVACDEC_crypto_set_key(s->cipher, s->key, static_cast<int32_t>(s->key_len));
    }
    if (!s->authentication_flag) return 0;

    if (s->hash_type != s->open_hash_type) {
        VQ_SVACDEC_hash_close(s->hash2);
        s->hash2 = VQ_SVACDEC_hash_open(s->hash_type);
        if (!s->hash2) return -1;
        VQ_SVACDEC_hash_close(s->hash1);
        s->hash1 = VQ_SVACDEC_hash_open(s->hash_type);
        s->open_hash_type = s->hash_type;
    }
    if (s->sign_type != s->open_sign_type) {
        VQ_SVACDEC_sign_close(s->sign);
        s->sign = VQ_SVACDEC_sign_open(s->sign_type);
        s->open_sign_type = s->sign_type;
    }
    return 0;
}

void svac_security_open(SvacDecoder *dec) {
    SvacSecurityState *s = &dec->sec;
    s->cipher = nullptr;
    s->hash1 = s->hash2 = nullptr;
    s->sign = nullptr;
    s->open_cipher_type = s->open_hash_type = s->open_sign_type = -1;
    std::memset(s->key, 0, sizeof(s->key));
    std::memcpy(s->key, kDefaultKey, sizeof(kDefaultKey));
    s->key_len = sizeof(kDefaultKey);
}

void svac_security_close(SvacDecoder *dec) {
    SvacSecurityState *s = &dec->sec;
    VQ_SVACDEC_crypto_close(s->cipher);
    VQ_SVACDEC_hash_close(s->hash1);
    VQ_SVACDEC_hash_close(s->hash2);
    VQ_SVACDEC_sign_close(s->sign);
    s->cipher = nullptr;
    s->hash1 = s->hash2 = nullptr;
    s->sign = nullptr;
}
