// svacparse: cuts an SVAC byte stream, or the SVAC video of an MPEG program
// stream (told by its pack header), into access units with caps
// video/x-svac, stream-format=byte-stream, alignment=au.
//
// An access unit is the parameter sets and extension data in front of a
// picture and the picture's slices. A new unit begins at a non-slice NAL unit
// after a slice, at a base-layer slice after an enhancement-layer slice, and
// at a slice whose frame_num differs from the unit's. Enciphered slices hide
// their frame_num and are taken one per unit; svacdec copes with a picture
// spread over several units. Time stamps come from the PES headers of a
// program stream, or from the input buffers of a byte stream; a unit takes
// the last stamp at or before its first byte.
#include <deque>
#include <utility>
#include <vector>

#include "gstsvac.h"
#include "nal_split.h"
#include "ps_demux.h"

GST_DEBUG_CATEGORY_STATIC(svacparse_debug);
#define GST_CAT_DEFAULT svacparse_debug

namespace {

constexpr size_t kMaxPending = size_t(64) << 20;

struct Stamp {
    uint64_t offset;  // elementary-stream byte
    GstClockTime time;
};

// What the parser knows of one NAL unit from its first bytes.
struct NalInfo {
    int type = 0;
    bool slice = false;
    int layer = 0;
    int frame_num = -1;  // -1 when enciphered or unreadable
};

// The leading bits of a payload, emulation-prevention bytes (00 00 03) left out.
struct LeadingBits {
    uint64_t bits = 0;
    int count = 0;
    LeadingBits(const uint8_t *p, size_t n) {
        int zeros = 0;
        for (size_t i = 0; i < n && count <= 56; i++) {
            if (zeros >= 2 && p[i] == 3) {
                zeros = 0;
                continue;
            }
            zeros = p[i] ? 0 : zeros + 1;
            bits |= uint64_t(p[i]) << (56 - count);
            count += 8;
        }
    }
    int pos = 0;
    int u(int n) {
        if (pos + n > count) return -1;
        const int v = static_cast<int>((bits << pos) >> (64 - n));
        pos += n;
        return v;
    }
    int ue() {
        int zeros = 0;
        while (u(1) == 0 && zeros < 31) zeros++;
        if (pos > count || zeros > 16) return -1;
        const int rest = zeros ? u(zeros) : 0;
        return rest < 0 ? -1 : (1 << zeros) - 1 + rest;
    }
};

NalInfo nal_info(const uint8_t *nal, size_t size) {
    NalInfo n;
    if (size < 4) return n;
    const uint8_t h = nal[3];
    n.type = (h >> 2) & 15;
    n.slice = n.type >= 1 && n.type <= 4;
    n.layer = n.type >= 3 ? 1 : 0;
    const size_t header = 4 + (h & 1);
    if (n.slice && !(h & 2) && size > header) {
        // The slice header opens with pps_id ue(v) and frame_num u(8).
        LeadingBits b(nal + header, size - header);
        if (b.ue() >= 0) n.frame_num = b.u(8);
    }
    return n;
}

struct ParseState {
    int mode = -1;  // -1 not known yet, 0 byte stream, 1 program stream
    svactool::PsDemuxer ps;
    std::vector<uint8_t> head;  // input kept until the mode is known
    std::vector<uint8_t> es;    // elementary stream from es_base on
    uint64_t es_base = 0;
    size_t next_nal = 0;  // es offset of the next NAL unit to look at
    std::deque<Stamp> stamps;
    // The access unit being gathered: es[0, next_nal).
    bool au_slice = false;
    int au_layer = 0, au_frame_num = -1;
    bool started = false;  // caps and segment sent
};

}  // namespace

struct _GstSvacParse {
    GstElement parent;
    GstPad *sinkpad, *srcpad;
    ParseState *st;
};

G_DEFINE_TYPE(GstSvacParse, gst_svac_parse, GST_TYPE_ELEMENT)

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-svac, stream-format=(string)byte-stream, alignment=(string)au"));

// Pushes es[0, end) as one access unit.
static GstFlowReturn push_unit(GstSvacParse *self, size_t end) {
    ParseState &st = *self->st;
    if (!st.started) {
        GstCaps *caps = gst_static_pad_template_get_caps(&src_template);
        gst_pad_push_event(self->srcpad, gst_event_new_caps(caps));
        gst_caps_unref(caps);
        GstSegment segment;
        gst_segment_init(&segment, GST_FORMAT_TIME);
        gst_pad_push_event(self->srcpad, gst_event_new_segment(&segment));
        st.started = true;
    }
    // A time stamp belongs to the first unit that begins at or after it.
    GstClockTime time = GST_CLOCK_TIME_NONE;
    for (; !st.stamps.empty() && st.stamps.front().offset <= st.es_base; st.stamps.pop_front())
        time = st.stamps.front().time;
    GstBuffer *buf = gst_buffer_new_memdup(st.es.data(), end);
    GST_BUFFER_PTS(buf) = time;
    st.es.erase(st.es.begin(), st.es.begin() + static_cast<ptrdiff_t>(end));
    st.es_base += end;
    st.au_slice = false;
    return gst_pad_push(self->srcpad, buf);
}

// Looks at every complete NAL unit (all of them at the end of the stream)
// and pushes the access units that end before one.
static GstFlowReturn gather(GstSvacParse *self, bool at_end) {
    ParseState &st = *self->st;
    for (;;) {
        const size_t size = st.es.size();
        const size_t start = svactool::find_start_code(st.es.data(), size, st.next_nal);
        if (start == size) break;
        size_t end = svactool::find_start_code(st.es.data(), size, start + 3);
        if (end == size && !at_end) break;
        const NalInfo n = nal_info(st.es.data() + start, end - start);
        const bool new_unit = st.au_slice && (!n.slice || n.layer < st.au_layer || n.frame_num < 0 ||
                                              st.au_frame_num < 0 || n.frame_num != st.au_frame_num);
        if (new_unit && start > 0) {
            const GstFlowReturn ret = push_unit(self, start);
            if (ret != GST_FLOW_OK) return ret;
            end -= start;
        }
        if (n.slice) {
            st.au_slice = true;
            st.au_layer = n.layer;
            st.au_frame_num = n.frame_num;
        }
        st.next_nal = end;
        if (end == st.es.size()) break;
    }
    if (at_end && !st.es.empty()) {
        st.next_nal = 0;
        return push_unit(self, st.es.size());
    }
    // Input that never completes a unit must not grow without bound: what
    // is complete goes out as it is, a start-code-free tail is dropped.
    if (st.es.size() > kMaxPending) {
        if (st.next_nal > 0) return push_unit(self, std::exchange(st.next_nal, 0));
        GST_ELEMENT_WARNING(self, STREAM, DECODE, ("no NAL unit in %zu bytes; dropped", st.es.size()),
                            (nullptr));
        st.es_base += st.es.size();
        st.es.clear();
    }
    return GST_FLOW_OK;
}

static void add_bytes(GstSvacParse *self, const uint8_t *data, size_t size, GstClockTime time, bool at_end) {
    ParseState &st = *self->st;
    if (st.mode < 0) {
        st.head.insert(st.head.end(), data, data + size);
        if (st.head.size() < 4 && !at_end) return;
        st.mode = svactool::is_program_stream(st.head.data(), st.head.size()) ? 1 : 0;
        GST_INFO_OBJECT(self, "input is %s", st.mode ? "a program stream" : "an SVAC byte stream");
        std::vector<uint8_t> head;
        head.swap(st.head);
        add_bytes(self, head.data(), head.size(), time, at_end);
        return;
    }
    const uint64_t offset = st.es_base + st.es.size();
    if (st.mode == 0) {
        if (GST_CLOCK_TIME_IS_VALID(time)) st.stamps.push_back({offset, time});
        st.es.insert(st.es.end(), data, data + size);
        return;
    }
    std::vector<svactool::PesTimeStamp> times;
    const svactool::PsCounts before = st.ps.counts();
    st.ps.feed(data, size, &st.es, &times);
    if (at_end) st.ps.finish(&st.es, &times);
    for (const auto &t : times)
        st.stamps.push_back(
            {t.offset, gst_util_uint64_scale(static_cast<uint64_t>(t.pts), GST_SECOND, 90000)});
    const svactool::PsCounts &c = st.ps.counts();
    if (c.damaged + c.truncated > before.damaged + before.truncated)
        GST_ELEMENT_WARNING(self, STREAM, DEMUX, ("damaged program stream pack skipped"),
                            ("%" G_GUINT64_FORMAT " damaged and %" G_GUINT64_FORMAT " truncated packs so far",
                             c.damaged, c.truncated));
}

static GstFlowReturn chain(GstPad *, GstObject *parent, GstBuffer *buf) {
    GstSvacParse *self = GST_SVAC_PARSE(parent);
    GstMapInfo map;
    if (!gst_buffer_map(buf, &map, GST_MAP_READ)) {
        gst_buffer_unref(buf);
        return GST_FLOW_ERROR;
    }
    add_bytes(self, map.data, map.size, GST_BUFFER_PTS(buf), false);
    gst_buffer_unmap(buf, &map);
    gst_buffer_unref(buf);
    return gather(self, false);
}

static void reset(GstSvacParse *self) {
    delete self->st;
    self->st = new ParseState;
}

static gboolean sink_event(GstPad *pad, GstObject *parent, GstEvent *event) {
    GstSvacParse *self = GST_SVAC_PARSE(parent);
    switch (GST_EVENT_TYPE(event)) {
        case GST_EVENT_CAPS:
        case GST_EVENT_SEGMENT:
            // Our own caps and a time segment go out with the first unit.
            gst_event_unref(event);
            return TRUE;
        case GST_EVENT_EOS:
            add_bytes(self, nullptr, 0, GST_CLOCK_TIME_NONE, true);
            gather(self, true);
            break;
        case GST_EVENT_FLUSH_STOP:
            reset(self);
            break;
        default:
            break;
    }
    return gst_pad_event_default(pad, parent, event);
}

static void gst_svac_parse_init(GstSvacParse *self) {
    self->sinkpad = gst_pad_new_from_static_template(&sink_template, "sink");
    gst_pad_set_chain_function(self->sinkpad, chain);
    gst_pad_set_event_function(self->sinkpad, sink_event);
    gst_element_add_pad(GST_ELEMENT(self), self->sinkpad);
    self->srcpad = gst_pad_new_from_static_template(&src_template, "src");
    gst_pad_use_fixed_caps(self->srcpad);
    gst_element_add_pad(GST_ELEMENT(self), self->srcpad);
    self->st = new ParseState;
}

static GstStateChangeReturn change_state(GstElement *element, GstStateChange transition) {
    const GstStateChangeReturn ret =
        GST_ELEMENT_CLASS(gst_svac_parse_parent_class)->change_state(element, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) reset(GST_SVAC_PARSE(element));
    return ret;
}

static void finalize(GObject *object) {
    delete GST_SVAC_PARSE(object)->st;
    G_OBJECT_CLASS(gst_svac_parse_parent_class)->finalize(object);
}

static void gst_svac_parse_class_init(GstSvacParseClass *klass) {
    GST_DEBUG_CATEGORY_INIT(svacparse_debug, "svacparse", 0, "SVAC parser");
    G_OBJECT_CLASS(klass)->finalize = finalize;
    GstElementClass *element = GST_ELEMENT_CLASS(klass);
    element->change_state = change_state;
    gst_element_class_add_static_pad_template(element, &sink_template);
    gst_element_class_add_static_pad_template(element, &src_template);
    gst_element_class_set_static_metadata(
        element, "SVAC parser", "Codec/Parser/Video",
        "Cuts SVAC byte streams and SVAC program streams (stream_type 0x80) into access units",
        "SVAC decoder project");
}
