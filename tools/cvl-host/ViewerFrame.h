#pragma once

#include <wx/frame.h>
#include <wx/timer.h>

#include <chrono>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "tools/cvl-host/HeightMap.h"
#include "tools/cvl-host/ViewPictures.h"
#include "tools/cvl-host/ViewerStream.h"

class wxPanel;
class wxMouseEvent;

struct ViewerOptions {
    std::string outputDir;              // where snapshots go
    std::string snapshotPng;            // written as the window closes; empty for none
    double closeAfterSeconds = 0.0;     // 0: only the user closes it
    int drawDelayMs = 0;                // forced slow drawing, for tests
    std::ostream* statusOut = nullptr;  // also gets each status line; may be null
};

// What the viewer did, for the summary after it closed.
struct ViewerResult {
    StreamSample end;
    long drawn = 0;
    long skipped = 0;
    long unread = 0;
    bool interrupted = false;
    std::vector<std::string> notes;  // what the viewer wrote, a line each
    std::string error;               // empty unless it failed
};

// The viewer's window: the newest image drawn at most 30 times a second, a
// status line with the stream's figures, and its actions on keys and in its
// menu. Closing it stops the stream and closes the port.
class ViewerFrame : public wxFrame {
  public:
    ViewerFrame(ViewerStream& stream, const ViewerOptions& options, ViewerResult& result);

  private:
    void BuildMenu();
    void OnTick(wxTimerEvent&);
    void OnKey(wxKeyEvent& event);
    void OnClose(wxCloseEvent&);
    void OnMapPaint();
    void OnProfilePaint();
    void OnMouse(wxMouseEvent& event);
    void Render();
    void RenderProfile();
    void UpdateStatus();
    // In the status line; Tell also on the console.
    void Say(const wxString& text);
    void Tell(const wxString& text);
    void TogglePause();
    void Snapshot();
    void Configure();
    void WriteSnapshotPng();
    std::string Unit() const;

    ViewerStream& stream_;
    ViewerOptions options_;
    ViewerResult& result_;
    wxTimer timer_;
    wxPanel* map_ = nullptr;
    wxPanel* profile_ = nullptr;
    ViewerImage image_;
    ViewerImage discard_;
    std::vector<PointXyz> points_;
    HeightMap heightMap_;
    wxImage picture_;  // the grayscale image or the height map, one pixel per cell
    wxBitmap scaled_;
    wxBitmap profileBitmap_;
    ProfileRange profileRange_;
    float scanY_ = std::numeric_limits<float>::infinity();  // +inf: the latest scan
    float shownScanY_ = 0;
    bool paused_ = false;
    bool configuring_ = false;
    bool calibrated_ = false;
    int snapshots_ = 0;
    StreamSample previous_;
    long previousUnits_ = 0;
    std::chrono::steady_clock::time_point opened_;
    std::chrono::steady_clock::time_point nextStatus_;
};
