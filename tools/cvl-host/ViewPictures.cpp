#include "tools/cvl-host/ViewPictures.h"

#include <wx/dcmemory.h>
#include <wx/pen.h>

#include <algorithm>
#include <cstring>

namespace {

// Where a value of low .. high falls among `pixels`, the first at low.
int Pixel(double value, double low, double high, int pixels) {
    if (high <= low) {
        return 0;
    }
    return static_cast<int>((value - low) / (high - low) * (pixels - 1) + 0.5);
}

wxColour Colour(const unsigned char (&rgb)[3]) {
    return wxColour(rgb[0], rgb[1], rgb[2]);
}

void DrawLimit(wxDC& dc, double z, const ProfileRange& range, int width, int height,
               const wxString& label) {
    const int y = height - 1 - Pixel(z, range.low, range.high, height);
    dc.SetPen(wxPen(Colour(kLimitLine), 1, wxPENSTYLE_SHORT_DASH));
    dc.DrawLine(0, y, width, y);
    dc.SetTextForeground(Colour(kLimitLine));
    // At the right, clear of the title at the top left.
    const int labelWidth = dc.GetTextExtent(label).x;
    dc.DrawText(label, width - labelWidth - 6, std::clamp(y - 16, 0, height - 16));
}

}  // namespace

wxImage GrayscaleImage(const ViewerImage& image) {
    wxImage picture(image.width, image.height, false);
    unsigned char* rgb = picture.GetData();
    const size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    for (size_t i = 0; i < pixels && i < image.bytes.size(); ++i) {
        std::memset(rgb + 3 * i, image.bytes[i], 3);
    }
    return picture;
}

wxImage MapImage(const HeightMap& map) {
    wxImage picture(map.width, map.height, false);
    unsigned char* rgb = picture.GetData();
    for (size_t i = 0; i < map.cells.size(); ++i) {
        rgb[3 * i] = map.cells[i].r;
        rgb[3 * i + 1] = map.cells[i].g;
        rgb[3 * i + 2] = map.cells[i].b;
    }
    return picture;
}

ProfileRange RangeOfProfile(const HeightMap& map, const HeightWindow& window) {
    ProfileRange range{map.zLow, map.zHigh, false, false};
    const double span = std::max(1.0, range.high - range.low);
    range.showsMin = window.minHeight >= range.low - span;
    range.showsMax = window.maxHeight <= range.high + span;
    if (range.showsMin) {
        range.low = std::min(range.low, window.minHeight);
    }
    if (range.showsMax) {
        range.high = std::max(range.high, window.maxHeight);
    }
    // A margin, so that the lines at the limits are not on the edge.
    const double margin = 0.05 * std::max(1.0, range.high - range.low);
    range.low -= margin;
    range.high += margin;
    return range;
}

wxBitmap ProfileBitmap(const std::vector<PointXyz>& scan, const HeightMap& map,
                       const HeightWindow& window, const ProfileRange& range, int width, int height,
                       const std::string& unit) {
    wxBitmap bitmap(width, height, 24);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(wxBrush(wxColour(30, 30, 30)));
    dc.Clear();
    if (range.showsMin) {
        DrawLimit(dc, window.minHeight, range, width, height,
                  wxString::Format("MinHeight %g %s", window.minHeight, unit));
    }
    if (range.showsMax) {
        DrawLimit(dc, window.maxHeight, range, width, height,
                  wxString::Format("MaxHeight %g %s", window.maxHeight, unit));
    }
    dc.SetPen(wxPen(Colour(kProfileLine), 2));
    std::vector<wxPoint> line;
    for (const PointXyz& point : scan) {
        line.emplace_back(Pixel(point.x, map.xMin, map.xMax, width),
                          height - 1 - Pixel(point.z, range.low, range.high, height));
    }
    if (line.size() == 1) {
        dc.DrawPoint(line.front());
    } else if (!line.empty()) {
        dc.DrawLines(static_cast<int>(line.size()), line.data());
    }
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}
