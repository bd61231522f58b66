// cvl-host view: a live viewer of a port's images in continuous mode.

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/cvl-host/CameraChoice.h"
#include "tools/cvl-host/Commands.h"
#include "tools/cvl-host/ExitCode.h"
#include "tools/cvl-host/InterruptGuard.h"
#include "tools/cvl-host/ViewerFrame.h"

namespace {

// The viewer's application: its one window is made once the toolkit runs,
// and the main loop ends when that window is gone.
class ViewerApp : public wxApp {
  public:
    bool OnInit() override { return true; }
};

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Starts the toolkit on the main thread for the viewer's life; ends it
// again, also after an error.
class Toolkit {
  public:
    Toolkit() {
        const std::string display = Environment("DISPLAY").empty() ? Environment("WAYLAND_DISPLAY")
                                                                   : Environment("DISPLAY");
        if (display.empty()) {
            throw ToolError(ExitCode::kFailed, "view needs a display: DISPLAY is not set");
        }
        // The toolkit may set the C locale from the environment; the tool
        // keeps the one it had, so numbers still read and print the same.
        const std::string locale = std::setlocale(LC_ALL, nullptr);
        wxApp::SetInstance(new ViewerApp);
        static char programName[] = "cvl-host";
        char* arguments[] = {programName, nullptr};
        int count = 1;
        const bool started = wxEntryStart(count, arguments);
        std::setlocale(LC_ALL, locale.c_str());
        if (!started) {
            throw ToolError(ExitCode::kFailed, "view cannot open the display '" + display + "'");
        }
        wxImage::AddHandler(new wxPNGHandler);
    }
    ~Toolkit() { wxEntryCleanup(); }

    Toolkit(const Toolkit&) = delete;
    Toolkit& operator=(const Toolkit&) = delete;
};

ViewerOptions ViewOptionsOf(const CommandOptions& options, Console& console) {
    ViewerOptions view;
    view.statusOut = &console.Progress();
    view.outputDir = options.outputDir;
    view.snapshotPng = options.snapshotPng;
    view.closeAfterSeconds = options.closeAfterSeconds;
    // Forced slow drawing, for tests of what the viewer skips.
    view.drawDelayMs = std::atoi(Environment("CVL_HOST_VIEW_DRAW_DELAY_MS").c_str());
    return view;
}

}  // namespace

int RunView(HostSession& session, const CommandOptions& options, const std::string& systemDir) {
    const Toolkit toolkit;
    const std::string camera = ChooseCamera(session.Driver(), options.camera);
    ViewerStream stream(session, camera, options.port,
                        (std::filesystem::path(systemDir) / "VaveZAZ.ini").string());
    stream.Open();
    session.Out().Progress() << "viewing " << camera << " on port " << options.port
                             << "; close the window or press Ctrl-C to end\n"
                             << std::flush;
    ViewerResult result;
    {
        const InterruptGuard guard;
        (new ViewerFrame(stream, ViewOptionsOf(options, session.Out()), result))->Show();
        wxTheApp->OnRun();
    }
    stream.Close();
    for (const std::string& note : result.notes) {
        session.Out().Result() << note << "\n";
    }
    session.Out().Result() << StreamSummary(result.end, result.interrupted)
                           << "; viewer: " << result.drawn << " drawn, " << result.skipped
                           << " skipped, " << result.unread << " unread\n";
    if (!result.error.empty()) {
        throw ToolError(ExitCode::kFailed, result.error);
    }
    return Status(result.interrupted ? ExitCode::kInterrupted : ExitCode::kOk);
}
