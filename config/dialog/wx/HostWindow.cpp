#include "config/dialog/wx/HostWindow.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <wx/toplevel.h>

#include <cstdint>

#include "base/DriverContext.h"
#include "base/Log.h"

void MakeTransientForHost(wxTopLevelWindow& window, HWND parent) {
    if (parent == nullptr) {
        return;
    }
    const auto xid = static_cast<Window>(reinterpret_cast<uintptr_t>(parent));
    GtkWidget* widget = window.GetHandle();
    GdkDisplay* display = gtk_widget_get_display(widget);
    if (!GDK_IS_X11_DISPLAY(display)) {
        WriteLog(DriverContext::Instance(), 1,
                 "configuration dialog: WARNING: parent window 0x%lx ignored: the display is not "
                 "an X11 display\n",
                 static_cast<unsigned long>(xid));
        return;
    }
    // Looked up under an error trap: a handle that names no window gives
    // null instead of an X error, which would end the process.
    GdkWindow* host = gdk_x11_window_foreign_new_for_display(display, xid);
    if (host == nullptr) {
        WriteLog(DriverContext::Instance(), 1,
                 "configuration dialog: WARNING: parent window 0x%lx does not exist; the dialog is "
                 "shown without a parent\n",
                 static_cast<unsigned long>(xid));
        return;
    }
    gtk_widget_realize(widget);
    gdk_window_set_transient_for(gtk_widget_get_window(widget), host);
    g_object_unref(host);
}
