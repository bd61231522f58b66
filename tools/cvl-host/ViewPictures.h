#pragma once

#include <wx/bitmap.h>
#include <wx/image.h>

#include <string>
#include <vector>

#include "tools/cvl-host/HeightMap.h"
#include "tools/cvl-host/ViewerStream.h"

// The viewer's pictures, drawn off the screen so that a snapshot saves
// exactly what is shown.

// A grayscale image at its own size.
wxImage GrayscaleImage(const ViewerImage& image);

// One pixel per cell of the height map.
wxImage MapImage(const HeightMap& map);

// The heights a profile shows: the scan's own, and the height window's
// limits unless one lies far outside them (the default MaxHeight, 1000,
// would flatten every real scan).
struct ProfileRange {
    double low = 0.0;
    double high = 1.0;
    bool showsMin = false;
    bool showsMax = false;
};
ProfileRange RangeOfProfile(const HeightMap& map, const HeightWindow& window);

// The colours of the profile's parts, for the eye and for tests alike.
constexpr unsigned char kProfileLine[3] = {255, 255, 255};
constexpr unsigned char kLimitLine[3] = {255, 150, 0};

// Z against X of one scan over the map's X range, `width` by `height`
// pixels, with MinHeight and MaxHeight as lines where the range shows them.
wxBitmap ProfileBitmap(const std::vector<PointXyz>& scan, const HeightMap& map,
                       const HeightWindow& window, const ProfileRange& range, int width, int height,
                       const std::string& unit);
