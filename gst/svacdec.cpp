// svacdec: a GstVideoDecoder around the decoder's host API.
//
// Each input buffer is fed one NAL unit per call. A picture of the chosen
// layer finishes the oldest pending frame, so a picture the decoder hands out
// late (reordering, or a picture spread over several input buffers) still
// takes the time stamp of the buffer it began in. Frames that bring no slice
// of the layer are released; a frame whose decoding failed is dropped with a
// warning on the bus, and decoding goes on. At the end of the stream the
// pictures the decoder still holds are drained; a flush starts afresh.
#include "svacdec.h"

#include <gst/video/video.h>

#include <cstring>
#include <string>
#include <vector>

#include "gstsvac.h"
#include "hex.h"
#include "nal_split.h"

GST_DEBUG_CATEGORY_STATIC(svacdec_debug);
#define GST_CAT_DEFAULT svacdec_debug

enum { PROP_0, PROP_KEY, PROP_LAYER };

constexpr guint kMaxPending = 8;  // frames waiting for their picture

struct _GstSvacDec {
    GstVideoDecoder parent;
    void *dec;
    gchar *key_text;
    std::vector<uint8_t> *key;
    gint layer;
    const uint8_t *last_plane;  // the latest picture handed out, to end the drain
    GstVideoFormat format;
    gint width, height;
    GstVideoCodecState *input_state;
};

G_DEFINE_TYPE(GstSvacDec, gst_svac_dec, GST_TYPE_VIDEO_DECODER)

static GType layer_type() {
    static GType type = 0;
    static const GEnumValue values[] = {
        {0, "Base layer", "base"}, {1, "Enhancement layer", "enhancement"}, {0, nullptr, nullptr}};
    if (g_once_init_enter(&type)) g_once_init_leave(&type, g_enum_register_static("GstSvacLayer", values));
    return type;
}

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-svac"));
static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("{ GRAY8, GRAY10_LE32, I420, I420_10LE, Y42B, I422_10LE }")));

static GstVideoFormat format_of(const SvacDecOutput &p) {
    static const GstVideoFormat formats[3][2] = {{GST_VIDEO_FORMAT_GRAY8, GST_VIDEO_FORMAT_GRAY10_LE32},
                                                 {GST_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_I420_10LE},
                                                 {GST_VIDEO_FORMAT_Y42B, GST_VIDEO_FORMAT_I422_10LE}};
    if (p.chroma_format_idc < 0 || p.chroma_format_idc > 2 || (p.bit_depth != 8 && p.bit_depth != 10))
        return GST_VIDEO_FORMAT_UNKNOWN;
    return formats[p.chroma_format_idc][p.bit_depth == 10];
}

static void open_decoder(GstSvacDec *self) {
    static gsize initialised = 0;
    if (g_once_init_enter(&initialised)) {
        VQ_SVAC_Dec_Init(VQ_SVAC_Dec_GetCPUCaps());
        g_once_init_leave(&initialised, 1);
    }
    self->dec = VQ_SVAC_Dec_Open();
    if (self->dec && !self->key->empty())
        VQ_SVAC_Set_Key(self->dec, self->key->data(), static_cast<uint32_t>(self->key->size()));
    self->last_plane = nullptr;
}

static void close_decoder(GstSvacDec *self) {
    if (self->dec) VQ_SVAC_Dec_Close(self->dec);
    self->dec = nullptr;
}

// Copies the planes into the output frame's buffer: rows as they are, or
// three 10-bit grey samples per 32-bit word for GRAY10_LE32.
static void copy_picture(const SvacDecOutput &p, GstVideoFrame *vf) {
    const int planes = p.chroma_format_idc == 0 ? 1 : 3;
    for (int i = 0; i < planes; i++) {
        const int w = GST_VIDEO_FRAME_COMP_WIDTH(vf, i), h = GST_VIDEO_FRAME_COMP_HEIGHT(vf, i);
        uint8_t *dst = static_cast<uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(vf, i));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(vf, i);
        for (int y = 0; y < h; y++) {
            const uint8_t *src = p.plane[i] + static_cast<ptrdiff_t>(y) * p.stride[i];
            uint8_t *row = dst + static_cast<ptrdiff_t>(y) * stride;
            if (GST_VIDEO_FRAME_FORMAT(vf) != GST_VIDEO_FORMAT_GRAY10_LE32) {
                std::memcpy(row, src, static_cast<size_t>(w) * (p.bit_depth > 8 ? 2 : 1));
                continue;
            }
            for (int x = 0; x < w; x += 3) {
                uint32_t word = 0;
                for (int k = 0; k < 3 && x + k < w; k++) {
                    uint16_t s;
                    std::memcpy(&s, src + 2 * (x + k), 2);
                    word |= uint32_t(s & 0x3FF) << (10 * k);
                }
                for (int b = 0; b < 4; b++) row[(x / 3) * 4 + b] = static_cast<uint8_t>(word >> (8 * b));
            }
        }
    }
}

// Puts a picture into the oldest pending frame. Sets *finished when that
// frame is `current`.
static GstFlowReturn output_picture(GstSvacDec *self, const SvacDecOutput &p, GstVideoCodecFrame *current,
                                    bool *finished) {
    self->last_plane = p.plane[0];
    GstVideoDecoder *vd = GST_VIDEO_DECODER(self);
    GstVideoCodecFrame *frame = gst_video_decoder_get_oldest_frame(vd);
    if (!frame) return GST_FLOW_OK;
    if (frame == current) *finished = true;
    const GstVideoFormat format = format_of(p);
    if (format == GST_VIDEO_FORMAT_UNKNOWN) return gst_video_decoder_drop_frame(vd, frame);
    if (format != self->format || p.width != self->width || p.height != self->height) {
        GstVideoCodecState *state =
            gst_video_decoder_set_output_state(vd, format, p.width, p.height, self->input_state);
        gst_video_codec_state_unref(state);
        self->format = format;
        self->width = p.width;
        self->height = p.height;
        if (!gst_video_decoder_negotiate(vd)) {
            gst_video_decoder_drop_frame(vd, frame);
            return GST_FLOW_NOT_NEGOTIATED;
        }
    }
    GstFlowReturn ret = gst_video_decoder_allocate_output_frame(vd, frame);
    if (ret != GST_FLOW_OK) {
        gst_video_decoder_drop_frame(vd, frame);
        return ret;
    }
    GstVideoCodecState *state = gst_video_decoder_get_output_state(vd);
    GstVideoFrame vf;
    if (gst_video_frame_map(&vf, &state->info, frame->output_buffer, GST_MAP_WRITE)) {
        copy_picture(p, &vf);
        gst_video_frame_unmap(&vf);
    }
    gst_video_codec_state_unref(state);
    return gst_video_decoder_finish_frame(vd, frame);
}

static GstFlowReturn handle_frame(GstVideoDecoder *vd, GstVideoCodecFrame *frame) {
    GstSvacDec *self = GST_SVAC_DEC(vd);
    if (!self->dec) {
        gst_video_decoder_drop_frame(vd, frame);
        return GST_FLOW_ERROR;
    }
    GstMapInfo map;
    if (!gst_buffer_map(frame->input_buffer, &map, GST_MAP_READ)) {
        gst_video_decoder_drop_frame(vd, frame);
        return GST_FLOW_ERROR;
    }
    // The base layer alone, or both for the enhancement layer, which is
    // predicted from the base.
    const uint32_t mask = self->layer ? 3 : 1;
    bool finished = false, slice = false;
    int32_t error = 0;
    GstFlowReturn ret = GST_FLOW_OK;
    uint8_t *data = map.data;
    const size_t size = map.size;
    for (size_t pos = 0; pos < size && ret == GST_FLOW_OK;) {
        const svactool::NalChunk c = svactool::next_nal_chunk(data, size, pos);
        if (!c.found) break;
        const int type = c.start_code + 3 < size ? (data[c.start_code + 3] >> 2) & 15 : 0;
        const bool our_slice = type >= 1 && type <= 4 && (type >= 3) == (self->layer == 1);
        slice = slice || our_slice;
        SvacDecInput in{data + c.begin, static_cast<int32_t>(c.end - c.begin), mask};
        SvacDecOutput out{};
        SvacDecExtInfo ext{};
        const int32_t r = VQ_SVAC_Dec_Decode(self->dec, &in, &out, &ext);
        // Enhancement slices are refused when only the base layer is decoded.
        if (r < 0 && (our_slice || type < 3 || type > 4)) error = r;
        if (out.got_picture && out.layer == self->layer) ret = output_picture(self, out, frame, &finished);
        pos = svactool::advance_after_call(c, r);
    }
    gst_buffer_unmap(frame->input_buffer, &map);
    if (error)
        GST_ELEMENT_WARNING(self, STREAM, DECODE, ("damaged picture skipped"),
                            ("the decoder returned %d", error));
    if (finished)
        gst_video_codec_frame_unref(frame);
    else if (error)
        gst_video_decoder_drop_frame(vd, frame);
    else if (!slice)
        gst_video_decoder_release_frame(vd, frame);
    else
        gst_video_codec_frame_unref(frame);  // stays pending for a later picture
    // A picture comes out at most a few units late; older frames whose
    // picture never completed are dropped rather than kept forever.
    GList *frames = gst_video_decoder_get_frames(vd);
    for (guint n = g_list_length(frames); n > kMaxPending; n--) {
        GstVideoCodecFrame *oldest = gst_video_decoder_get_oldest_frame(vd);
        gst_video_decoder_drop_frame(vd, oldest);
    }
    g_list_free_full(frames, reinterpret_cast<GDestroyNotify>(gst_video_codec_frame_unref));
    return ret;
}

// Hands out what the decoder still holds: at most two references per layer;
// a picture already handed out ends the layer.
static GstFlowReturn drain(GstVideoDecoder *vd) {
    GstSvacDec *self = GST_SVAC_DEC(vd);
    GstFlowReturn ret = GST_FLOW_OK;
    const uint8_t *seen[2] = {self->last_plane, nullptr};
    for (int k = 0; k < 2 && self->dec && ret == GST_FLOW_OK; k++) {
        SvacDecOutput out{};
        if (VQ_SVAC_Get_LastFrame(self->dec, self->layer, &out) != 0 || !out.got_picture ||
            out.plane[0] == seen[0] || out.plane[0] == seen[1])
            break;
        seen[1] = out.plane[0];
        bool finished = false;
        ret = output_picture(self, out, nullptr, &finished);
    }
    return ret;
}

static GstFlowReturn finish(GstVideoDecoder *vd) { return drain(vd); }

static gboolean flush(GstVideoDecoder *vd) {
    GstSvacDec *self = GST_SVAC_DEC(vd);
    close_decoder(self);
    open_decoder(self);
    return self->dec != nullptr;
}

static gboolean start(GstVideoDecoder *vd) {
    GstSvacDec *self = GST_SVAC_DEC(vd);
    open_decoder(self);
    self->format = GST_VIDEO_FORMAT_UNKNOWN;
    if (!self->dec) GST_ELEMENT_ERROR(self, LIBRARY, INIT, ("cannot open an SVAC decoder"), (nullptr));
    return self->dec != nullptr;
}

static gboolean stop(GstVideoDecoder *vd) {
    GstSvacDec *self = GST_SVAC_DEC(vd);
    close_decoder(self);
    if (self->input_state) gst_video_codec_state_unref(self->input_state);
    self->input_state = nullptr;
    return TRUE;
}

static gboolean set_format(GstVideoDecoder *vd, GstVideoCodecState *state) {
    GstSvacDec *self = GST_SVAC_DEC(vd);
    if (self->input_state) gst_video_codec_state_unref(self->input_state);
    self->input_state = gst_video_codec_state_ref(state);
    return TRUE;
}

static void set_property(GObject *object, guint id, const GValue *value, GParamSpec *pspec) {
    GstSvacDec *self = GST_SVAC_DEC(object);
    GST_OBJECT_LOCK(self);
    if (id == PROP_KEY) {
        const gchar *text = g_value_get_string(value);
        std::vector<uint8_t> key;
        if (text && !svactool::parse_hex(text, &key)) {
            GST_WARNING_OBJECT(self, "key '%s' is not an even number of hex digits; ignored", text);
        } else {
            g_free(self->key_text);
            self->key_text = g_strdup(text);
            self->key->swap(key);
            if (self->dec && !self->key->empty())
                VQ_SVAC_Set_Key(self->dec, self->key->data(), static_cast<uint32_t>(self->key->size()));
        }
    } else if (id == PROP_LAYER) {
        self->layer = g_value_get_enum(value);
    } else {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
    GST_OBJECT_UNLOCK(self);
}

static void get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec) {
    GstSvacDec *self = GST_SVAC_DEC(object);
    GST_OBJECT_LOCK(self);
    if (id == PROP_KEY)
        g_value_set_string(value, self->key_text);
    else if (id == PROP_LAYER)
        g_value_set_enum(value, self->layer);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    GST_OBJECT_UNLOCK(self);
}

static void finalize(GObject *object) {
    GstSvacDec *self = GST_SVAC_DEC(object);
    g_free(self->key_text);
    delete self->key;
    G_OBJECT_CLASS(gst_svac_dec_parent_class)->finalize(object);
}

static void gst_svac_dec_init(GstSvacDec *self) {
    self->key = new std::vector<uint8_t>;
    gst_video_decoder_set_packetized(GST_VIDEO_DECODER(self), TRUE);
}

static void gst_svac_dec_class_init(GstSvacDecClass *klass) {
    GST_DEBUG_CATEGORY_INIT(svacdec_debug, "svacdec", 0, "SVAC decoder");
    GObjectClass *object = G_OBJECT_CLASS(klass);
    object->set_property = set_property;
    object->get_property = get_property;
    object->finalize = finalize;
    g_object_class_install_property(
        object, PROP_KEY,
        g_param_spec_string("key", "Key", "Cipher key of protected streams, in hex (up to 64 bytes)", nullptr,
                            GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    g_object_class_install_property(
        object, PROP_LAYER,
        g_param_spec_enum("layer", "Layer", "Layer of a scalable stream to output", layer_type(), 0,
                          GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));

    GstElementClass *element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &sink_template);
    gst_element_class_add_static_pad_template(element, &src_template);
    gst_element_class_set_static_metadata(element, "SVAC decoder", "Codec/Decoder/Video",
                                          "Decodes SVAC video", "SVAC decoder project");
    GstVideoDecoderClass *vd = GST_VIDEO_DECODER_CLASS(klass);
    vd->start = start;
    vd->stop = stop;
    vd->set_format = set_format;
    vd->handle_frame = handle_frame;
    vd->finish = finish;
    vd->drain = drain;
    vd->flush = flush;
}
