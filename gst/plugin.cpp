// The SVAC plugin: svacparse and svacdec.
#include "gstsvac.h"

#define PACKAGE "svacdec"
#define VERSION "0.1"

static gboolean plugin_init(GstPlugin *plugin) {
    return gst_element_register(plugin, "svacparse", GST_RANK_PRIMARY, GST_TYPE_SVAC_PARSE) &&
           gst_element_register(plugin, "svacdec", GST_RANK_PRIMARY, GST_TYPE_SVAC_DEC);
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, svac, "SVAC video parser and decoder", plugin_init,
                  VERSION, "unknown", PACKAGE, "https://example.invalid/svacdec")
