// Program stream input: the video stream comes back byte for byte whatever
// the packet sizes and read sizes, and damaged or truncated packs are skipped
// without losing their neighbours.
#include "ps_demux.h"

#include <gtest/gtest.h>

#include <random>

#include "ps_writer.h"

namespace {

using svactest::PsWriter;
using svactool::PesTimeStamp;
using svactool::PsDemuxer;

struct Demuxed {
    std::vector<uint8_t> es;
    std::vector<PesTimeStamp> times;
    svactool::PsCounts counts;
    int id = -1, type = -1;
};

// Feeds `ps` in reads of `chunk` bytes (0: all at once).
Demuxed demux(const std::vector<uint8_t> &ps, size_t chunk) {
    PsDemuxer d;
    Demuxed r;
    for (size_t pos = 0; pos < ps.size();) {
        const size_t n = chunk ? std::min(chunk, ps.size() - pos) : ps.size();
        d.feed(ps.data() + pos, n, &r.es, &r.times);
        pos += n;
    }
    d.finish(&r.es, &r.times);
    r.counts = d.counts();
    r.id = d.stream_id();
    r.type = d.stream_type();
    return r;
}

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto &b : v) b = static_cast<uint8_t>(rng() % 3 ? rng() : 0);  // many zeros: start codes
    return v;
}

TEST(ProgramStream, MappedStreamComesBackWhateverThePacketAndReadSizes) {
    const std::vector<uint8_t> es = random_bytes(200000, 7), other = random_bytes(5000, 8);
    PsWriter w;
    w.pack(0, 3);
    w.packet(0xBB, {0x80, 0x01, 0x01, 0x04, 0xE1, 0x7F, 0xE1, 0xE8, 0x00});
    w.map({{0x1B, 0xE0}, {0x80, 0xE1}, {0x90, 0xC0}});
    // Another video stream before the mapped one, audio, padding between.
    w.pes(0xE0, other.data(), 3000, 100);
    std::vector<PesTimeStamp> want_times;
    const size_t sizes[] = {1, 7, 184, 2000, 65000, 3, 40000};
    size_t pos = 0;
    for (int k = 0; pos < es.size(); k++) {
        const size_t n = std::min(sizes[k % 7], es.size() - pos);
        const int64_t pts = k % 3 ? -1 : (int64_t(1) << 32) + 3600 * k;  // 33-bit stamps
        if (pts >= 0) want_times.push_back({pos, pts, -1});
        w.pes(0xE1, es.data() + pos, n, pts, k % 2);
        if (k % 4 == 1) w.pes(0xC0, other.data(), 500, 90);
        if (k % 5 == 2) w.packet(0xBE, std::vector<uint8_t>(100, 0xFF));
        if (k % 3 == 2) w.pack(3600 * k);
        pos += n;
    }
    w.bytes.insert(w.bytes.end(), {0, 0, 1, 0xB9});
    for (size_t chunk : {size_t(0), size_t(1), size_t(5), size_t(4099)}) {
        const Demuxed d = demux(w.bytes, chunk);
        EXPECT_TRUE(d.es == es) << "reads of " << chunk;
        ASSERT_EQ(d.times.size(), want_times.size());
        for (size_t i = 0; i < want_times.size(); i++) {
            EXPECT_EQ(d.times[i].offset, want_times[i].offset);
            EXPECT_EQ(d.times[i].pts, want_times[i].pts);
        }
        EXPECT_EQ(d.id, 0xE1);
        EXPECT_EQ(d.type, 0x80);
        EXPECT_EQ(d.counts.damaged + d.counts.truncated, 0u);
    }
}

TEST(ProgramStream, DamagedAndTruncatedPacksAreSkippedAlone) {
    // Six packs of one video packet each; without a map the first video
    // stream is taken, after an audio packet.
    std::vector<std::vector<uint8_t>> payload;
    PsWriter w;
    std::vector<size_t> starts;
    for (int k = 0; k < 6; k++) {
        payload.push_back(random_bytes(1000 + 300 * k, 20 + k));
        starts.push_back(w.bytes.size());
        w.pack(3600 * k);
        if (k == 0) w.pes(0xC0, payload[0].data(), 10, 0);
        w.pes(0xE5, payload[k].data(), payload[k].size(), 3600 * k);
    }
    w.bytes[starts[2] + 14 + 5] += 3;      // pack 2: its packet length overruns
    w.bytes[starts[4] + 6] &= ~4;          // pack 4: a marker bit of the clock cleared
    w.bytes.resize(w.bytes.size() - 100);  // pack 5 cut short
    std::vector<uint8_t> want = payload[0];
    want.insert(want.end(), payload[1].begin(), payload[1].end());
    want.insert(want.end(), payload[3].begin(), payload[3].end());
    for (size_t chunk : {size_t(0), size_t(1), size_t(777)}) {
        const Demuxed d = demux(w.bytes, chunk);
        EXPECT_TRUE(d.es == want) << "reads of " << chunk;
        EXPECT_EQ(d.id, 0xE5);
        EXPECT_EQ(d.type, -1);
        EXPECT_EQ(d.counts.packs, 5u);  // all but the one with the broken clock
        EXPECT_EQ(d.counts.damaged, 2u);
        EXPECT_EQ(d.counts.truncated, 1u);
        ASSERT_EQ(d.times.size(), 3u);
        EXPECT_EQ(d.times[2].pts, 3 * 3600);
        EXPECT_EQ(d.times[2].offset, payload[0].size() + payload[1].size());
    }
}

}  // namespace
