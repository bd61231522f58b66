#include "config/dialog/wx/Toolkit.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/thread.h>

#include <atomic>
#include <clocale>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "config/dialog/wx/ToolkitThread.h"

namespace {

// The application object the toolkit needs; the host owns the process, so it
// has no main window and never ends the process.
class DriverApp : public wxApp {
  public:
    bool OnInit() override { return true; }
};

// The toolkit's own messages go to the driver's log instead of message boxes
// or standard error.
class DriverLog : public wxLog {
  protected:
    void DoLogTextAtLevel(wxLogLevel level, const wxString& text) override {
        WriteLog(DriverContext::Instance(), level <= wxLOG_Warning ? 1 : 3, "wxWidgets: %s\n",
                 text.utf8_str().data());
    }
};

// A failed check inside the toolkit is logged; it must not stop the host.
void LogAssertion(const wxString& file, int line, const wxString& function,
                  const wxString& condition, const wxString& message) {
    WriteLog(DriverContext::Instance(), 1, "wxWidgets: assertion %s failed in %s (%s:%d): %s\n",
             condition.utf8_str().data(), function.utf8_str().data(), file.utf8_str().data(), line,
             message.utf8_str().data());
}

// A broken display connection (the X server went away) would make GTK end
// the host's process. Instead the toolkit thread is parked for good, holding
// none of the display's locks, and the dialog's caller gets an error; the host
// goes on without dialogs. On any other thread (the process's exit handlers
// closing the dead display) the error is only logged and Xlib returns.
int OnDisplayBroken(Display* display) {
    static std::atomic<bool> logged{false};
    if (!logged.exchange(true)) {
        WriteLog(DriverContext::Instance(), 1,
                 "configuration dialog: ERROR: the connection to the display %s was lost\n",
                 display != nullptr ? DisplayString(display) : "");
    }
    ToolkitThread& toolkit = ToolkitThread::Instance();
    if (toolkit.IsToolkitThread()) {
        // Xlib calls this holding the display's user lock for the thread.
        XUnlockDisplay(display);
        toolkit.DisplayLost();
    }
    return 0;
}

void OnDisplayBrokenExit(Display* display, void*) {
    OnDisplayBroken(display);
}

void KeepProcessOnBrokenDisplay() {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
        return;
    }
    XSetIOErrorHandler(&OnDisplayBroken);
    XSetIOErrorExitHandler(gdk_x11_display_get_xdisplay(display), &OnDisplayBrokenExit, nullptr);
}

// GLib, GTK and their helpers write their warnings to standard error, which
// belongs to the host: the driver's log takes them instead. Only the
// toolkit's own domains are taken, so a host that uses GLib itself keeps its
// messages.
void LogToolkitMessage(const gchar* domain, GLogLevelFlags, const gchar* message, gpointer) {
    WriteLog(DriverContext::Instance(), 3, "configuration dialog: %s: %s\n",
             domain != nullptr ? domain : "toolkit", message != nullptr ? message : "");
}

void RouteToolkitMessages() {
    static const char* const kDomains[] = {
        "Gtk",   "Gdk",   "GLib", "GLib-GObject", "GLib-GIO", "GModule", "GdkPixbuf",
        "Pango", "dconf", "Atk",  "atk-bridge",   "dbind",    "GVFS",    "GtkIMModule"};
    const auto levels =
        static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION);
    for (const char* domain : kDomains) {
        g_log_set_handler(domain, levels, &LogToolkitMessage, nullptr);
    }
}

std::string Environment(const char* name) {
    // Read on the toolkit's thread while it starts; the driver sets no
    // variable, so only a host writing its environment meanwhile could race.
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
    return value != nullptr ? value : "";
}

}  // namespace

bool StartToolkit(std::string& error) {
    const std::string display =
        Environment("DISPLAY").empty() ? Environment("WAYLAND_DISPLAY") : Environment("DISPLAY");
    if (display.empty()) {
        error = "no display to show the configuration dialog on: DISPLAY is not set";
        return false;
    }
    RouteToolkitMessages();
    wxSetAssertHandler(&LogAssertion);
    delete wxLog::SetActiveTarget(new DriverLog);
    // The toolkit may set the C locale from the environment; the host's
    // process keeps the one it had, so numbers still read and print the same.
    // The process-wide locale is the one call here a host thread could race:
    // the toolkit's start sets it, and there is no thread-local way to stop it.
    const std::string locale = std::setlocale(LC_ALL, nullptr);  // NOLINT(concurrency-mt-unsafe)
    wxApp::SetInstance(new DriverApp);
    static char programName[] = "vavezaz";
    char* arguments[] = {programName, nullptr};
    int count = 1;
    // Starts GTK with its checking initialisation, which fails instead of
    // ending the process when the display cannot be opened.
    const bool started = wxEntryStart(count, arguments);
    std::setlocale(LC_ALL, locale.c_str());  // NOLINT(concurrency-mt-unsafe)
    if (!started) {
        error = "cannot open the display '" + display + "' to show the configuration dialog";
        return false;
    }
    wxTheApp->SetExitOnFrameDelete(false);
    // Again: the toolkit set handlers of its own while starting.
    RouteToolkitMessages();
    KeepProcessOnBrokenDisplay();
    return true;
}

bool HostStartedToolkit() {
    return wxTheApp != nullptr && dynamic_cast<DriverApp*>(wxTheApp) == nullptr;
}

void RunOnHostToolkit(const std::function<void()>& job) {
    if (wxIsMainThread()) {
        job();
        return;
    }
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::exception_ptr error;
    wxTheApp->CallAfter([&] {
        try {
            job();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        finished.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait(lock, [&] { return done; });
    if (error) {
        std::rethrow_exception(error);
    }
}

void PostToToolkit(void (*call)()) {
    wxTheApp->CallAfter(call);
}

void SettleToolkit() {
    if (wxTheApp != nullptr) {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
    }
    // Bounded: windows that were just destroyed leave only a few events.
    for (int i = 0; i < 1000 && gtk_events_pending(); ++i) {
        gtk_main_iteration_do(FALSE);
    }
    if (GdkDisplay* display = gdk_display_get_default()) {
        gdk_display_flush(display);
    }
}
