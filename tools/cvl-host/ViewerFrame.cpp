#include "tools/cvl-host/ViewerFrame.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <wx/dcbuffer.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <thread>

#include "tools/cvl-host/InterruptGuard.h"
#include "tools/cvl-host/PointCloudFile.h"
#include "tools/cvl-host/ViewPictures.h"

namespace {

using Clock = std::chrono::steady_clock;

// At most 30 pictures a second: the screen shows no more.
constexpr int kTickMs = 33;
constexpr int kSmallestPanelWidth = 320;
constexpr int kSmallestPanelHeight = 240;
constexpr int kColourBarSpace = 90;
constexpr int kLargestMap = 1024;
const wxColour kBackground(30, 30, 30);
const char* const kKeys = "P pause, S snapshot, C configure, L latest scan, Esc close";

enum MenuId { kPause = wxID_HIGHEST + 1, kSnapshot, kConfigure, kLatestScan };

// The position of `pixel` among `pixels` as a cell among `cells`; -1 outside.
int CellAt(int pixel, int pixels, int cells) {
    if (pixel < 0 || pixel >= pixels || pixels <= 0) {
        return -1;
    }
    return static_cast<int>(static_cast<long>(pixel) * cells / pixels);
}

float Across(int cell, int cells, float low, float high) {
    return low + (static_cast<float>(cell) + 0.5f) / static_cast<float>(cells) * (high - low);
}

HWND WindowHandle(wxWindow& window) {
    GdkWindow* gdk = gtk_widget_get_window(window.GetHandle());
    if (gdk == nullptr || !GDK_IS_X11_WINDOW(gdk)) {
        return nullptr;
    }
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(GDK_WINDOW_XID(gdk)));
}

std::filesystem::path FreeName(const std::filesystem::path& dir, const std::string& stem,
                               const char* extension, int& counter) {
    std::filesystem::path path;
    do {
        path = dir / (stem + "-" + std::to_string(++counter) + extension);
    } while (std::filesystem::exists(path));
    return path;
}

}  // namespace

ViewerFrame::ViewerFrame(ViewerStream& stream, const ViewerOptions& options, ViewerResult& result)
    : wxFrame(nullptr, wxID_ANY,
              wxString::Format("cvl-host view: %s on port %d", stream.Camera(), stream.Port()),
              wxDefaultPosition, wxSize(1100, 540)),
      stream_(stream),
      options_(options),
      result_(result),
      timer_(this) {
    auto* root = new wxPanel(this);
    map_ = new wxPanel(root);
    profile_ = new wxPanel(root);
    for (wxPanel* panel : {map_, profile_}) {
        panel->SetBackgroundStyle(wxBG_STYLE_PAINT);
        panel->SetMinSize(wxSize(kSmallestPanelWidth, kSmallestPanelHeight));
    }
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(map_, 3, wxEXPAND);
    sizer->Add(profile_, 2, wxEXPAND | wxLEFT, 6);
    profile_->Show(stream_.Cloud());
    root->SetSizer(sizer);
    CreateStatusBar(2);
    const int widths[] = {-1, 300};
    SetStatusWidths(2, widths);
    BuildMenu();
    map_->Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnMapPaint(); });
    profile_->Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnProfilePaint(); });
    map_->Bind(wxEVT_MOTION, &ViewerFrame::OnMouse, this);
    map_->Bind(wxEVT_LEFT_DOWN, &ViewerFrame::OnMouse, this);
    map_->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        scaled_ = wxBitmap();
        map_->Refresh();
        event.Skip();
    });
    profile_->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        RenderProfile();
        event.Skip();
    });
    Bind(wxEVT_CHAR_HOOK, &ViewerFrame::OnKey, this);
    Bind(wxEVT_CLOSE_WINDOW, &ViewerFrame::OnClose, this);
    Bind(wxEVT_TIMER, &ViewerFrame::OnTick, this);
    Say("waiting for the first image");
    opened_ = Clock::now();
    nextStatus_ = opened_ + std::chrono::seconds(1);
    UpdateStatus();
    timer_.Start(kTickMs);
}

void ViewerFrame::BuildMenu() {
    auto* view = new wxMenu;
    view->Append(kPause, "&Pause or resume\tP");
    view->Append(kSnapshot, "&Snapshot\tS");
    view->Append(kLatestScan, "&Latest scan in the profile\tL");
    view->AppendSeparator();
    view->Append(kConfigure, "&Configure the camera...\tC");
    view->AppendSeparator();
    view->Append(wxID_CLOSE, "&Close\tCtrl+Q");
    auto* bar = new wxMenuBar;
    bar->Append(view, "&View");
    SetMenuBar(bar);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { TogglePause(); }, kPause);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { Snapshot(); }, kSnapshot);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { Configure(); }, kConfigure);
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent&) {
            scanY_ = std::numeric_limits<float>::infinity();
            RenderProfile();
        },
        kLatestScan);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, wxID_CLOSE);
}

void ViewerFrame::OnTick(wxTimerEvent&) {
    if (InterruptGuard::Interrupted()) {
        result_.interrupted = true;
        Close(true);
        return;
    }
    const Clock::time_point now = Clock::now();
    if (options_.closeAfterSeconds > 0 &&
        now - opened_ >= std::chrono::duration<double>(options_.closeAfterSeconds)) {
        Close(true);
        return;
    }
    // The timer also fires inside the configuration dialog's modal loop.
    if (configuring_) {
        return;
    }
    if (stream_.Slot().Take(paused_ ? discard_ : image_) && !paused_) {
        Render();
        if (result_.drawn++ == 0) {
            Say(kKeys);
        }
    }
    if (now >= nextStatus_) {
        UpdateStatus();
        nextStatus_ = now + std::chrono::seconds(1);
    }
}

void ViewerFrame::OnKey(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
        case 'P':
        case WXK_SPACE:
            TogglePause();
            return;
        case 'S':
            Snapshot();
            return;
        case 'C':
            Configure();
            return;
        case 'L':
            scanY_ = std::numeric_limits<float>::infinity();
            RenderProfile();
            return;
        case WXK_ESCAPE:
            Close();
            return;
        default:
            event.Skip();
    }
}

void ViewerFrame::OnClose(wxCloseEvent&) {
    timer_.Stop();
    result_.end = stream_.Sample();
    if (!options_.snapshotPng.empty()) {
        WriteSnapshotPng();
    }
    stream_.Close();
    result_.skipped = stream_.Slot().Skipped();
    result_.unread = stream_.Unread();
    Destroy();
}

void ViewerFrame::Render() {
    if (image_.cloud) {
        points_ = CloudPoints(image_);
        const auto [width, height] = MapSize(points_, kLargestMap);
        heightMap_ = MakeHeightMap(points_, width, height);
        picture_ = MapImage(heightMap_);
        RenderProfile();
    } else {
        picture_ = GrayscaleImage(image_);
    }
    scaled_ = wxBitmap();
    if (options_.drawDelayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.drawDelayMs));
    }
    map_->Refresh();
    map_->Update();
}

void ViewerFrame::RenderProfile() {
    const wxSize size = profile_->GetClientSize();
    if (!image_.cloud || size.x < 2 || size.y < 2) {
        return;
    }
    const std::vector<PointXyz> scan = ScanProfile(points_, scanY_);
    shownScanY_ = scan.empty() ? 0.0f : scan.front().y;
    profileRange_ = RangeOfProfile(heightMap_, stream_.Window());
    profileBitmap_ =
        ProfileBitmap(scan, heightMap_, stream_.Window(), profileRange_, size.x, size.y, Unit());
    profile_->Refresh();
    profile_->Update();
}

void ViewerFrame::OnMapPaint() {
    wxAutoBufferedPaintDC dc(map_);
    dc.SetBackground(wxBrush(kBackground));
    dc.Clear();
    dc.SetTextForeground(*wxWHITE);
    if (!picture_.IsOk()) {
        dc.DrawText("waiting for the first image", 10, 10);
        return;
    }
    const wxSize size = map_->GetClientSize();
    const int barSpace = image_.cloud ? kColourBarSpace : 0;
    const wxSize area(std::max(1, size.x - barSpace), std::max(1, size.y));
    if (!scaled_.IsOk() || scaled_.GetSize() != area) {
        scaled_ = wxBitmap(picture_.Scale(area.x, area.y, wxIMAGE_QUALITY_NORMAL));
    }
    dc.DrawBitmap(scaled_, 0, 0);
    if (!image_.cloud) {
        return;
    }
    if (heightMap_.empty) {
        dc.DrawText("no point in the height window", 10, 10);
        return;
    }
    // The scan the profile shows.
    const float ySpan = heightMap_.yMax - heightMap_.yMin;
    const int scanRow =
        ySpan > 0 ? static_cast<int>((shownScanY_ - heightMap_.yMin) / ySpan * (area.y - 1)) : 0;
    dc.SetPen(wxPen(*wxWHITE, 1, wxPENSTYLE_DOT));
    dc.DrawLine(0, scanRow, area.x, scanRow);
    // The colour bar, highest at the top.
    const int barX = area.x + 8;
    const int barHeight = area.y - 40;
    for (int y = 0; y < barHeight; ++y) {
        const Rgb colour = HeightColour(1.0 - static_cast<double>(y) / (barHeight - 1));
        dc.SetPen(wxPen(wxColour(colour.r, colour.g, colour.b)));
        dc.DrawLine(barX, 20 + y, barX + 16, 20 + y);
    }
    dc.DrawText(wxString::Format("%.1f", heightMap_.zHigh), barX + 20, 14);
    dc.DrawText(wxString::Format("%.1f", heightMap_.zLow), barX + 20, 20 + barHeight - 8);
    dc.DrawText(wxString::FromUTF8(Unit()), barX, area.y - 18);
}

void ViewerFrame::OnProfilePaint() {
    wxAutoBufferedPaintDC dc(profile_);
    dc.SetBackground(wxBrush(kBackground));
    dc.Clear();
    if (profileBitmap_.IsOk()) {
        dc.DrawBitmap(profileBitmap_, 0, 0);
    }
    dc.SetTextForeground(*wxWHITE);
    dc.DrawText(wxString::Format("profile: Z (%s) against X at y %.1f%s", Unit(), shownScanY_,
                                 std::isinf(scanY_) ? " (latest scan)" : ""),
                6, profile_->GetClientSize().y - 20);
}

void ViewerFrame::OnMouse(wxMouseEvent& event) {
    event.Skip();
    if (!picture_.IsOk()) {
        return;
    }
    const wxSize size = map_->GetClientSize();
    const int areaWidth = size.x - (image_.cloud ? kColourBarSpace : 0);
    const int column = CellAt(event.GetX(), areaWidth, picture_.GetWidth());
    const int row = CellAt(event.GetY(), size.y, picture_.GetHeight());
    if (column < 0 || row < 0) {
        return;
    }
    if (!image_.cloud) {
        const size_t at = static_cast<size_t>(row) * static_cast<size_t>(image_.width) +
                          static_cast<size_t>(column);
        SetStatusText(wxString::Format("row %d, column %d: %d", row, column,
                                       at < image_.bytes.size() ? image_.bytes[at] : 0),
                      1);
        return;
    }
    const float x = Across(column, heightMap_.width, heightMap_.xMin, heightMap_.xMax);
    const float y = Across(row, heightMap_.height, heightMap_.yMin, heightMap_.yMax);
    const float z =
        heightMap_.tops[static_cast<size_t>(row) * static_cast<size_t>(heightMap_.width) +
                        static_cast<size_t>(column)];
    SetStatusText(std::isnan(z) ? wxString::Format("x %.1f, y %.1f: no point", x, y)
                                : wxString::Format("x %.1f, y %.1f: z %.2f %s", x, y, z, Unit()),
                  1);
    if (event.LeftDown()) {
        scanY_ = y;
        RenderProfile();
        map_->Refresh();
    }
}

void ViewerFrame::UpdateStatus() {
    const StreamSample now = stream_.Sample();
    const DriverStatistics& driver = now.driver;
    calibrated_ = driver.calibration.rfind("millimetres", 0) == 0;
    const double seconds = now.seconds - previous_.seconds;
    const long units = stream_.Units();
    const double rate = seconds > 0 ? (now.images - previous_.images) / seconds : 0.0;
    const double unitRate = seconds > 0 ? (units - previousUnits_) / seconds : 0.0;
    auto count = [&](long value) {
        return driver.known ? wxString::Format("%ld", value) : wxString("-");
    };
    const wxString text = wxString::Format(
        "%s%.1f %s/s, %.0f %s/s | %ld received, %ld drawn, %ld skipped | dropped %s, lost "
        "%s, overtrig %s",
        paused_ ? "PAUSED | " : "", rate, stream_.Cloud() ? "clouds" : "images", unitRate,
        stream_.Cloud() ? "points" : "rows", now.images, result_.drawn, stream_.Slot().Skipped(),
        count(driver.dropped), count(driver.packetsLost), count(driver.overtrigs));
    SetStatusText(text, 0);
    if (options_.statusOut != nullptr) {
        *options_.statusOut << "status: " << text.ToStdString() << "\n" << std::flush;
    }
    previous_ = now;
    previousUnits_ = units;
}

void ViewerFrame::Say(const wxString& text) {
    SetStatusText(text, 1);
}

void ViewerFrame::Tell(const wxString& text) {
    Say(text);
    if (options_.statusOut != nullptr) {
        *options_.statusOut << text.ToStdString() << "\n" << std::flush;
    }
}

void ViewerFrame::TogglePause() {
    paused_ = !paused_;
    Tell(paused_ ? "paused: the stream goes on, nothing is drawn; P resumes" : "resumed");
}

void ViewerFrame::Snapshot() {
    if (!picture_.IsOk()) {
        Say("no image yet to save");
        return;
    }
    try {
        const std::filesystem::path dir(options_.outputDir);
        std::filesystem::create_directories(dir);
        const std::string stem = "view-port" + std::to_string(stream_.Port());
        std::filesystem::path path;
        if (image_.cloud) {
            path = FreeName(dir, stem, ".ply", snapshots_);
            PointCloud cloud;
            cloud.points = static_cast<size_t>(image_.width);
            cloud.floatsPerPoint = static_cast<size_t>(image_.floatsPerPoint);
            cloud.bytes = image_.bytes;
            WritePly(
                path, cloud,
                "cvl-host view: " + stream_.Camera() + ", port " + std::to_string(stream_.Port()));
        } else {
            path = FreeName(dir, stem, ".png", snapshots_);
            if (!picture_.SaveFile(path.string(), wxBITMAP_TYPE_PNG)) {
                throw std::runtime_error("cannot write " + path.string());
            }
        }
        Tell("wrote " + wxString::FromUTF8(path.string()));
    } catch (const std::exception& e) {
        Tell(wxString::FromUTF8(std::string("snapshot failed: ") + e.what()));
    }
}

void ViewerFrame::Configure() {
    configuring_ = true;
    Tell("configuring: close the dialog to go on");
    try {
        const int saved = stream_.Configure(WindowHandle(*this));
        Tell(saved == 0 ? "settings saved; the port was reopened with them"
                        : "nothing saved; the port was reopened");
    } catch (const std::exception& e) {
        result_.error = e.what();
        configuring_ = false;
        Close(true);
        return;
    }
    configuring_ = false;
}

void ViewerFrame::WriteSnapshotPng() {
    if (!picture_.IsOk()) {
        result_.error = "no image was drawn, so " + options_.snapshotPng + " was not written";
        return;
    }
    const std::filesystem::path path(options_.snapshotPng);
    if (!picture_.SaveFile(path.string(), wxBITMAP_TYPE_PNG)) {
        result_.error = "cannot write " + path.string();
        return;
    }
    if (!image_.cloud) {
        result_.notes.push_back(wxString::Format("snapshot: %s: image %d x %d", path.string(),
                                                 picture_.GetWidth(), picture_.GetHeight())
                                    .ToStdString());
        return;
    }
    const HeightMap& map = heightMap_;
    result_.notes.push_back(wxString::Format("snapshot: %s: height map %d x %d, x %.3f .. %.3f, "
                                             "y %.3f .. %.3f, z %.3f .. %.3f %s",
                                             path.string(), map.width, map.height, map.xMin,
                                             map.xMax, map.yMin, map.yMax, map.zLow, map.zHigh,
                                             Unit())
                                .ToStdString());
    std::filesystem::path profile = path;
    profile.replace_filename(path.stem().string() + "-profile.png");
    if (!profileBitmap_.IsOk() ||
        !profileBitmap_.ConvertToImage().SaveFile(profile.string(), wxBITMAP_TYPE_PNG)) {
        result_.error = "cannot write " + profile.string();
        return;
    }
    result_.notes.push_back(wxString::Format("snapshot: %s: profile %d x %d of the scan at y "
                                             "%.3f, x %.3f .. %.3f, z %.3f .. %.3f %s",
                                             profile.string(), profileBitmap_.GetWidth(),
                                             profileBitmap_.GetHeight(), shownScanY_, map.xMin,
                                             map.xMax, profileRange_.low, profileRange_.high,
                                             Unit())
                                .ToStdString());
}

std::string ViewerFrame::Unit() const {
    return calibrated_ ? "mm" : "sensor units";
}
