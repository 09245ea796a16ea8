// The two elements of the SVAC GStreamer plugin.
#pragma once

#include <gst/gst.h>
#include <gst/video/gstvideodecoder.h>

G_BEGIN_DECLS

#define GST_TYPE_SVAC_PARSE (gst_svac_parse_get_type())
G_DECLARE_FINAL_TYPE(GstSvacParse, gst_svac_parse, GST, SVAC_PARSE, GstElement)

#define GST_TYPE_SVAC_DEC (gst_svac_dec_get_type())
G_DECLARE_FINAL_TYPE(GstSvacDec, gst_svac_dec, GST, SVAC_DEC, GstVideoDecoder)

G_END_DECLS
