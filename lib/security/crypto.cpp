// Generic cipher, digest and signature contexts: an algorithm number picks a
// table entry, and the context carries the entry, its buffers and the
// algorithm's state in one zeroed allocation.
#include "security/crypto.h"

#include <cstdio>
#include <cstring>

#include "mem/mem.h"
#include "security/aes.h"
#include "security/crypto_alg.h"
#include "security/des.h"
#include "security/md5.h"
#include "security/sha1.h"
#include "security/sha256.h"
#include "security/sha512.h"

// clang-format off
const SvacCipherAlg calg[SVAC_CIPHER_COUNT] = {
    {},
    {sizeof(DesKey), 8, 8, 8, des_set_key, des_encrypt_block, des_decrypt_block},
    {sizeof(AesKey), 16, 16, 32, aes_set_key, aes_encrypt_block, aes_decrypt_block},
};
// clang-format on

// clang-format off
const SvacHashAlg halg[SVAC_HASH_COUNT] = {
    {sizeof(Md5State), 16, md5_init, md5_update, md5_final},
    {sizeof(Sha1State), 20, sha1_init, sha1_update, sha1_final},
    {sizeof(Sha256State), 28, sha224_init, sha224_update, sha224_final},
    {sizeof(Sha256State), 32, sha256_init, sha256_update, sha256_final},
    {sizeof(Sha512State), 48, sha384_init, sha384_update, sha384_final},
    {sizeof(Sha512State), 64, sha512_init, sha512_update, sha512_final},
    {},
};
// clang-format on

// Blocks and states start on 16-byte boundaries behind the header.
struct SvacCipherCtx {
    const SvacCipherAlg *alg;
    uint8_t *in;
    uint8_t *out;
    void *key_state;
};

struct SvacHashCtx {
    const SvacHashAlg *alg;
    void *state;
};

namespace {

constexpr uint32_t align16(uint32_t v) { return (v + 15) & ~15u; }

bool cipher_complete(const SvacCipherAlg &a) {
    return a.state_size && a.block_size && a.min_key_len && a.max_key_len && a.set_key && a.encrypt &&
           a.decrypt;
}

bool hash_complete(const SvacHashAlg &a) {
    return a.state_size && a.digest_size && a.init && a.update && a.final;
}

// Electronic codebook, no chaining. Every block goes through the context's
// buffers, so the destination may be the source; a partial tail is padded
// with zeros and only its own length is written back.
void process(SvacCipherCtx *ctx, uint8_t *dst, const uint8_t *src, int32_t len, SvacBlockFn op) {
    if (!ctx || len <= 0) return;
    const uint32_t bs = ctx->alg->block_size;
    uint32_t left = static_cast<uint32_t>(len);
    for (; left >= bs; left -= bs, src += bs, dst += bs) {
        std::memcpy(ctx->in, src, bs);
        op(ctx->key_state, ctx->in, ctx->out);
        std::memcpy(dst, ctx->out, bs);
    }
    if (left) {
        std::memcpy(ctx->in, src, left);
        std::memset(ctx->in + left, 0, bs - left);
        op(ctx->key_state, ctx->in, ctx->out);
        std::memcpy(dst, ctx->out, left);
    }
}

}  // namespace

SvacCipherCtx *VQ_SVACDEC_crypto_open(int32_t type) {
    if (type < 0 || type >= SVAC_CIPHER_COUNT) return nullptr;
    const SvacCipherAlg &a = calg[type];
    if (!cipher_complete(a)) {
        std::printf("unimplemented encryption type: %d\n", type);
        return nullptr;
    }
    const uint32_t head = align16(sizeof(SvacCipherCtx));
    const uint32_t blocks = align16(2 * a.block_size);
    auto *base = static_cast<uint8_t *>(VQ_SVACDEC_svac_mallocz(head + blocks + a.state_size));
    if (!base) return nullptr;
    auto *ctx = reinterpret_cast<SvacCipherCtx *>(base);
    ctx->alg = &a;
    ctx->in = base + head;
    ctx->out = ctx->in + a.block_size;
    ctx->key_state = base + head + blocks;
    return ctx;
}

int32_t VQ_SVACDEC_crypto_set_key(SvacCipherCtx *ctx, const uint8_t *key, int32_t len) {
    if (!ctx) return -1;
    return ctx->alg->set_key(ctx->key_state, key, len);
}

void VQ_SVACDEC_crypto_encrypt(SvacCipherCtx *ctx, uint8_t *dst, const uint8_t *src, int32_t len) {
    if (ctx) process(ctx, dst, src, len, ctx->alg->encrypt);
}

void VQ_SVACDEC_crypto_decrypt(SvacCipherCtx *ctx, uint8_t *dst, const uint8_t *src, int32_t len) {
    if (ctx) process(ctx, dst, src, len, ctx->alg->decrypt);
}

void VQ_SVACDEC_crypto_close(SvacCipherCtx *ctx) { VQ_SVACDEC_svac_free(ctx); }

SvacHashCtx *VQ_SVACDEC_hash_open(int32_t type) {
    if (type < 0 || type >= SVAC_HASH_COUNT) return nullptr;
    const SvacHashAlg &a = halg[type];
    if (!hash_complete(a)) {
        std::printf("unimplemented hash type: %d\n", type);
        return nullptr;
    }
    const uint32_t head = align16(sizeof(SvacHashCtx));
    auto *base = static_cast<uint8_t *>(VQ_SVACDEC_svac_mallocz(head + a.state_size));
    if (!base) return nullptr;
    auto *ctx = reinterpret_cast<SvacHashCtx *>(base);
    ctx->alg = &a;
    ctx->state = base + head;
    return ctx;
}

void VQ_SVACDEC_hash_init(SvacHashCtx *ctx, void *arg) {
    if (ctx) ctx->alg->init(ctx->state, arg);
}

void VQ_SVACDEC_hash_update(SvacHashCtx *ctx, const uint8_t *data, int32_t len) {
    if (ctx) ctx->alg->update(ctx->state, data, len);
}

void VQ_SVACDEC_hash_final(SvacHashCtx *ctx, uint8_t *out) {
    if (ctx) ctx->alg->final(ctx->state, out);
}

int32_t VQ_SVACDEC_hash_digest_size(const SvacHashCtx *ctx) {
    return ctx ? static_cast<int32_t>(ctx->alg->digest_size) : 0;
}

void VQ_SVACDEC_hash_close(SvacHashCtx *ctx) { VQ_SVACDEC_svac_free(ctx); }

// No signature algorithm exists: the known numbers say so, others are
// refused silently.
SvacSignCtx *VQ_SVACDEC_sign_open(int32_t type) {
    if (type >= 0 && type < SVAC_SIGN_COUNT) std::printf("unimplemented sign type: %d\n", type);
    return nullptr;
}

void VQ_SVACDEC_sign_close(SvacSignCtx *ctx) { VQ_SVACDEC_svac_free(ctx); }

// The algorithm tables are constant; nothing depends on the processor.
void VQ_SVACDEC_security_init(uint32_t) {}
