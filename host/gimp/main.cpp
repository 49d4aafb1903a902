// quenfield-gimp: lets GIMP play the host of the export plug-in, so that the open image goes to the companion
// from GIMP's File menu.
#include "SendToQuenfield.h"

#include <libgimp/gimp.h>

#include <cstring>

namespace {

constexpr const char* kExportProcedure = "plug-in-quenfield-export";
constexpr const char* kAboutProcedure = "plug-in-quenfield-about";

void Query() {
    static const GimpParamDef exportArgs[] = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode")},
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("The image to send")},
        {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"),
         const_cast<gchar*>("Unused: the whole visible image is sent")},
    };
    // The label has no ellipsis: no dialog follows it.
    gimp_install_procedure(
        kExportProcedure, "Send the image to Quenfield",
        "Hands what is visible of the image to the Quenfield export plug-in, which writes it "
        "as a 16-bit PPM or a float PFM and opens it in the Quenfield companion "
        "application. The image itself and its undo history are left as they are.",
        "Quenfield Export developers", "Quenfield Export developers", "2026", "Send to _Quenfield", "*",
        GIMP_PLUGIN, G_N_ELEMENTS(exportArgs), 0, exportArgs, nullptr);
    // Beside "Send by Email...": GIMP's own place for handing the open image to another program.
    gimp_plugin_menu_register(kExportProcedure, "<Image>/File/Send");

    static const GimpParamDef aboutArgs[] = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode")},
    };
    gimp_install_procedure(kAboutProcedure, "About the Quenfield export plug-in",
                           "Shows the About box of the Quenfield export plug-in.",
                           "Quenfield Export developers", "Quenfield Export developers", "2026",
                           "About _Quenfield Export", "", GIMP_PLUGIN, G_N_ELEMENTS(aboutArgs), 0, aboutArgs,
                           nullptr);
    gimp_plugin_menu_register(kAboutProcedure, "<Image>/Help");
}

void Run(const gchar* name, gint count, const GimpParam* params, gint* returnCount, GimpParam** returned) {
    static GimpParam values[2];
    static std::string error;
    gegl_init(nullptr, nullptr);
    gimpbridge::ProcedureResult result{GIMP_PDB_CALLING_ERROR, "unknown procedure"};
    if (std::strcmp(name, kExportProcedure) == 0 && count >= 2) {
        result = gimpbridge::SendImage(params[1].data.d_image);
    } else if (std::strcmp(name, kAboutProcedure) == 0 && count >= 1) {
        result = gimpbridge::ShowAbout(static_cast<GimpRunMode>(params[0].data.d_int32));
    }
    error = result.error;
    values[0].type = GIMP_PDB_STATUS;
    values[0].data.d_status = result.status;
    *returnCount = 1;
    if (!error.empty()) {
        values[1].type = GIMP_PDB_STRING;
        values[1].data.d_string = const_cast<gchar*>(error.c_str());
        *returnCount = 2;
    }
    *returned = values;
}

} // namespace

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, Query, Run};

MAIN()
