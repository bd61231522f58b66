#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>

#include "Calibration.h"
#include "icon/Simulation.h"

namespace icon::sim {
namespace {

constexpr float kNotSeen = -1.0f;
// Width (standard deviation, rows) of the laser line in the sensor image.
constexpr double kLineSigma = 0.8;

constexpr uint64_t kGolden = 0x9e3779b97f4a7c15ull;

uint64_t splitmix(uint64_t x) {
    x += kGolden;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// A draw as a uniform number in [0, 1).
double unit(uint64_t draw) {
    return static_cast<double>(draw >> 11) * (1.0 / 9007199254740992.0);
}

double uniform(uint64_t& state) {
    state = splitmix(state);
    return unit(state);
}

// Cross-section of an object in the laser plane at one belt position.
struct Section {
    enum Shape { RECT, WEDGE, CIRCLE };
    Shape shape = RECT;
    double x1 = 0.0, x2 = 0.0, h = 0.0;  // RECT, WEDGE (rising from x1 to x2)
    double cx = 0.0, r = 0.0;            // CIRCLE lying on the belt
    float reflectance = 0.0f;
};

struct Hit {
    double z = -std::numeric_limits<double>::infinity();
    bool lit = false;
};

void consider(Hit& best, double z, bool lit) {
    if (z > best.z) {
        best.z = z;
        best.lit = lit;
    }
}

// Where the ray x = a + b z of one column first meets the section, coming
// from the camera above. Vertical walls are not lit by the laser.
Hit intersect(const Section& s, double a, double b) {
    Hit hit;
    if (s.shape == Section::CIRCLE) {
        const double d = a - s.cx;
        const double k = b * b + 1.0;
        const double disc = (d * b - s.r) * (d * b - s.r) - k * d * d;
        if (disc >= 0.0) {
            consider(hit, ((s.r - d * b) + std::sqrt(disc)) / k, true);
        }
        return hit;
    }
    if (s.shape == Section::RECT) {
        const double x = a + b * s.h;
        if (x >= s.x1 && x <= s.x2) {
            consider(hit, s.h, true);
        }
    } else {
        const double slope = s.h / (s.x2 - s.x1);
        const double z = slope * (a - s.x1) / (1.0 - slope * b);
        const double x = a + b * z;
        if (z >= 0.0 && z <= s.h && x >= s.x1 && x <= s.x2) {
            consider(hit, z, true);
        }
    }
    for (double wall : {s.x1, s.x2}) {
        const double z = b != 0.0 ? (wall - a) / b : -1.0;
        const double top = s.shape == Section::WEDGE && wall == s.x1 ? 0.0 : s.h;
        if (z >= 0.0 && z < top) {
            consider(hit, z, false);
        }
    }
    return hit;
}

// The height of the section's top surface at x; -1 outside it.
double topAt(const Section& s, double x) {
    if (s.shape == Section::CIRCLE) {
        const double d = x - s.cx;
        return std::abs(d) <= s.r ? s.r + std::sqrt(s.r * s.r - d * d) : -1.0;
    }
    if (x < s.x1 || x > s.x2) {
        return -1.0;
    }
    return s.shape == Section::RECT ? s.h : s.h * (x - s.x1) / (s.x2 - s.x1);
}

// The object's cross-section at belt position y; false where the laser line
// misses it. Every field is set afresh: the caller reuses one section for all
// objects of a scan, and no object may inherit the shape of the one before.
bool sectionAt(const SceneObject& o, double y, Section& s) {
    const double u = y - o.y;
    if (u < 0.0 || u >= o.length || o.height <= 0.0) {
        return false;
    }
    s = Section();
    s.reflectance = static_cast<float>(o.reflectance);
    s.x1 = o.x - o.width / 2.0;
    s.x2 = o.x + o.width / 2.0;
    s.h = o.height;
    if (o.kind == SceneObject::RAMP) {
        s.shape = o.axis == SceneObject::ACROSS_BELT ? Section::WEDGE : Section::RECT;
        if (o.axis == SceneObject::ALONG_BELT) {
            s.h = o.height * u / o.length;
        }
    } else if (o.kind == SceneObject::CYLINDER) {
        const double r = o.height / 2.0;
        if (o.axis == SceneObject::ALONG_BELT) {
            s.shape = Section::CIRCLE;
            s.cx = o.x;
            s.r = r;
        } else {
            const double v = u - r;
            s.h = r + std::sqrt(std::max(0.0, r * r - v * v));
        }
    }
    return s.h > 0.0;
}

enum class Kind { COG, RANGE, IMAGE };

struct Target {
    std::string name;
    Kind kind;
    bool mark;
    bool intensity;
};

// A plane the renderer writes from the scene (not the marks), as the cache
// keeps it: `bytes` per scan.
struct CachedPlane {
    std::string component;
    std::string subComponent;
    size_t bytes;
    size_t offset;  // within one cached scan
};

// The number of scans after which the belt is where it was: the scene's
// length in encoder pulses over the pulses per scan, when that is whole.
int64_t beltPeriod(const DeviceConfig& device) {
    if (device.scene.length <= 0.0 || device.pulsesPerScan <= 0) {
        return 0;
    }
    const double scans = device.scene.length * device.pulsesPerMillimeter / device.pulsesPerScan;
    const double whole = std::round(scans);
    if (!(whole >= 1.0 && whole <= 1e12) || std::abs(scans - whole) > 1e-9 * whole) {
        return 0;
    }
    return static_cast<int64_t>(whole);
}

// The period of the rendered scans: an image frame of `rows` scans shows the
// belt where it was at the frame's first scan, so image scans repeat only
// when both the belt and the frame do. 0 when they never repeat.
int64_t renderPeriod(const DeviceConfig& device, bool image) {
    const int64_t belt = beltPeriod(device);
    if (belt == 0 || !image) {
        return belt;
    }
    const int64_t rows = device.sensor.rows;
    const int64_t common = belt / std::gcd(belt, rows);
    return common > std::numeric_limits<int64_t>::max() / rows ? 0 : common * rows;
}

}  // namespace

struct SceneRenderer::Impl {
    DeviceConfig device;
    std::vector<Target> targets;
    int columns = 0;
    int rows = 0;
    uint32_t sumMax = 0;
    // Per column: the ray x = a + b z, and row = (r0 + r1 z) / (w0 + w1 z).
    std::vector<double> a, b, r0, r1, w0, w1;
    std::vector<float> beltRow;
    // Per scan: the row of the laser line (kNotSeen where it is not seen),
    // the height hit, the reflectance.
    std::vector<float> row;
    std::vector<double> z;
    std::vector<float> reflectance;
    int64_t profileScan = -1;
    // Scans `period` apart render the same planes (noise included, as it is
    // drawn per scan of the period); only marks and lost packets go on with
    // the stream. Each scan of the period is rendered once into the cache.
    int64_t period = 0;
    std::vector<CachedPlane> planes;
    size_t cachedScanBytes = 0;
    // Left uninitialised: its pages are touched scan by scan as the period is
    // rendered, not all at once before the first scan (a stall of a fresh
    // stream, where page faults are dear).
    std::unique_ptr<uint8_t[]> cache;
    size_t cacheSize = 0;
    std::vector<bool> cached;
    // Per scan: the objects under the laser and their column spans.
    std::vector<Section> active;
    std::vector<std::pair<int, int>> spans;

    void setupColumns();
    void profile(int64_t scan);
    std::pair<int, int> columnSpan(const Section& s) const;
    void addObject(const Section& s, std::pair<int, int> span);
    void shadow(std::pair<int, int> span);
    double beltPosition(int64_t scan) const;
    float rowAt(int c, double height) const;
    void noise(int64_t scan);
    void renderCog(IconBuffer& buffer, const Target& t, int slot) const;
    void renderRange(IconBuffer& buffer, const Target& t, int slot) const;
    void renderImage(IconBuffer& buffer, const Target& t, int slot, int sensorRow) const;
    void renderMark(IconBuffer& buffer, const Target& t, int slot, int64_t scan) const;
    int perScan(const std::vector<int>& pattern, double rate, int64_t scan, uint64_t salt) const;
    int64_t phase(int64_t scan) const;
    void render(IconBuffer& buffer, int slot, int64_t phase);
    void setupCache(const DataFormat& format, size_t limit);
    bool cacheable() const { return period > 0 && cachedScanBytes > 0; }
    void copyPlanes(IconBuffer& buffer, int slot, int64_t phase, bool intoCache);
};

void SceneRenderer::Impl::setupColumns() {
    const auto& h = device.sensor.homography;
    for (int c = 0; c < columns; ++c) {
        const double den = h[0] - c * h[6];
        const double ca = (c * h[8] - h[2]) / den;
        const double cb = (c * h[7] - h[1]) / den;
        a.push_back(ca);
        b.push_back(cb);
        r0.push_back(h[3] * ca + h[5]);
        r1.push_back(h[3] * cb + h[4]);
        w0.push_back(h[6] * ca + h[8]);
        w1.push_back(h[6] * cb + h[7]);
        const bool onBelt = std::abs(ca) <= device.scene.beltWidth / 2.0;
        beltRow.push_back(onBelt ? rowAt(c, 0.0) : kNotSeen);
    }
}

float SceneRenderer::Impl::rowAt(int c, double height) const {
    const double r = (r0[c] + r1[c] * height) / (w0[c] + w1[c] * height);
    return r >= 0.0 && r <= rows - 1 ? static_cast<float>(r) : kNotSeen;
}

double SceneRenderer::Impl::beltPosition(int64_t scan) const {
    const double travel = static_cast<double>(scan) * device.pulsesPerScan;
    const double y = travel / device.pulsesPerMillimeter;
    return device.scene.length > 0.0 ? std::fmod(y, device.scene.length) : y;
}

std::pair<int, int> SceneRenderer::Impl::columnSpan(const Section& s) const {
    const auto& h = device.sensor.homography;
    double lo = columns;
    double hi = -1.0;
    const double xr = s.shape == Section::CIRCLE ? s.cx + s.r : s.x2;
    const double xl = s.shape == Section::CIRCLE ? s.cx - s.r : s.x1;
    const double top = s.shape == Section::CIRCLE ? 2.0 * s.r : s.h;
    for (double x : {xl, xr}) {
        for (double height : {0.0, top}) {
            const double col =
                (h[0] * x + h[1] * height + h[2]) / (h[6] * x + h[7] * height + h[8]);
            lo = std::min(lo, col);
            hi = std::max(hi, col);
        }
    }
    // A corner at the horizon of the view (perspective) maps to an infinite
    // column: the span is clipped to the sensor before it becomes a column.
    return {static_cast<int>(std::max(0.0, std::floor(lo))),
            static_cast<int>(std::min(columns - 1.0, std::ceil(hi)))};
}

void SceneRenderer::Impl::addObject(const Section& s, std::pair<int, int> span) {
    for (int c = span.first; c <= span.second; ++c) {
        const Hit hit = intersect(s, a[c], b[c]);
        if (hit.z > z[c]) {
            z[c] = hit.z;
            row[c] = hit.lit && s.reflectance > 0.0f ? rowAt(c, hit.z) : kNotSeen;
            reflectance[c] = s.reflectance;
        }
    }
}

// The laser shines straight down the laser plane: a point that has an object
// surface above it lies in the laser's shadow, though the camera sees it.
void SceneRenderer::Impl::shadow(std::pair<int, int> span) {
    for (int c = span.first; c <= span.second; ++c) {
        const double x = a[c] + b[c] * z[c];
        for (const Section& s : active) {
            if (topAt(s, x) > z[c] + 1e-6) {
                row[c] = kNotSeen;
                break;
            }
        }
    }
}

void SceneRenderer::Impl::profile(int64_t scan) {
    if (scan == profileScan) {
        return;
    }
    profileScan = scan;
    const double y = beltPosition(scan);
    const float belt = static_cast<float>(device.scene.beltReflectance);
    for (int c = 0; c < columns; ++c) {
        row[c] = belt > 0.0f ? beltRow[c] : kNotSeen;
        z[c] = beltRow[c] == kNotSeen ? -std::numeric_limits<double>::infinity() : 0.0;
        reflectance[c] = belt;
    }
    active.clear();
    spans.clear();
    Section s;
    for (const SceneObject& o : device.scene.objects) {
        if (sectionAt(o, y, s)) {
            active.push_back(s);
            spans.push_back(columnSpan(s));
            addObject(s, spans.back());
        }
    }
    for (const auto& span : spans) {
        shadow(span);
    }
    noise(scan);
}

void SceneRenderer::Impl::noise(int64_t scan) {
    if (device.noise <= 0.0) {
        return;
    }
    // Draw n of the scan is the splitmix output at base + n steps: no draw
    // waits for the one before, so the columns' draws overlap.
    const uint64_t base = splitmix(device.seed ^ static_cast<uint64_t>(scan));
    for (int c = 0; c < columns; ++c) {
        if (row[c] == kNotSeen) {
            continue;
        }
        const uint64_t first = base + 4u * static_cast<uint64_t>(c) * kGolden;
        // The sum of four uniforms is close enough to a normal distribution.
        const double g =
            (unit(splitmix(first)) + unit(splitmix(first + kGolden)) +
             unit(splitmix(first + 2 * kGolden)) + unit(splitmix(first + 3 * kGolden)) - 2.0) *
            std::sqrt(3.0);
        row[c] = std::clamp(static_cast<float>(row[c] + device.noise * g), 0.0f,
                            static_cast<float>(rows - 1));
    }
}

void SceneRenderer::Impl::renderCog(IconBuffer& buffer, const Target& t, int slot) const {
    uint16_t* sum = nullptr;
    uint16_t* xsum = nullptr;
    if (buffer.getWritePointer(t.name, "Sum", sum) != 0 ||
        buffer.getWritePointer(t.name, "XSum", xsum) != 0) {
        return;
    }
    const size_t first = static_cast<size_t>(slot) * static_cast<size_t>(columns);
    for (int c = 0; c < columns; ++c) {
        if (row[c] == kNotSeen) {
            sum[first + c] = 0;
            xsum[first + c] = 0;
            continue;
        }
        const uint32_t weight = std::clamp<uint32_t>(
            static_cast<uint32_t>(std::lround(reflectance[c] * sumMax)), 1u, sumMax);
        const uint32_t numerator = static_cast<uint32_t>(std::lround(row[c] * weight));
        sum[first + c] = static_cast<uint16_t>(((numerator >> 16) << 13) | weight);
        xsum[first + c] = static_cast<uint16_t>(numerator & 0xFFFFu);
    }
}

void SceneRenderer::Impl::renderRange(IconBuffer& buffer, const Target& t, int slot) const {
    uint16_t* range = nullptr;
    uint8_t* intensity = nullptr;
    if (buffer.getWritePointer(t.name, "Range", range) != 0) {
        return;
    }
    if (t.intensity) {
        buffer.getWritePointer(t.name, "Intensity", intensity);
    }
    const size_t first = static_cast<size_t>(slot) * static_cast<size_t>(columns);
    for (int c = 0; c < columns; ++c) {
        const bool seen = row[c] != kNotSeen;
        range[first + c] =
            seen
                ? static_cast<uint16_t>(std::max(1L, std::lround(row[c] * detail::kRangeSubpixels)))
                : 0;
        if (intensity != nullptr) {
            intensity[first + c] =
                seen ? static_cast<uint8_t>(std::lround(reflectance[c] * 255.0f)) : 0;
        }
    }
}

void SceneRenderer::Impl::renderImage(IconBuffer& buffer, const Target& t, int slot,
                                      int sensorRow) const {
    uint8_t* pixels = nullptr;
    if (buffer.getWritePointer(t.name, "Image", pixels) != 0) {
        return;
    }
    const size_t first = static_cast<size_t>(slot) * static_cast<size_t>(columns);
    for (int c = 0; c < columns; ++c) {
        const double d = sensorRow - row[c];
        const bool lit = row[c] != kNotSeen && std::abs(d) < 4.0 * kLineSigma;
        pixels[first + c] =
            lit ? static_cast<uint8_t>(std::lround(
                      255.0 * reflectance[c] * std::exp(-d * d / (2.0 * kLineSigma * kLineSigma))))
                : 0;
    }
}

int SceneRenderer::Impl::perScan(const std::vector<int>& pattern, double rate, int64_t scan,
                                 uint64_t salt) const {
    int count = pattern.empty() ? 0 : pattern[static_cast<size_t>(scan) % pattern.size()];
    if (rate > 0.0) {
        uint64_t state = splitmix(device.seed ^ salt ^ static_cast<uint64_t>(scan));
        count += uniform(state) < rate ? 1 : 0;
    }
    return count;
}

void SceneRenderer::Impl::renderMark(IconBuffer& buffer, const Target& t, int slot,
                                     int64_t scan) const {
    uint32_t* mark = nullptr;
    if (buffer.getWritePointer(t.name, "Mark", mark) != 0) {
        return;
    }
    const uint32_t travel = static_cast<uint32_t>(static_cast<uint64_t>(scan) *
                                                  static_cast<uint64_t>(device.pulsesPerScan));
    const uint32_t overtrigs =
        static_cast<uint32_t>(perScan(device.overtrigPattern, device.overtrigRate, scan, 0x0707));
    mark[slot * 2] = static_cast<uint32_t>(device.encoderStart) + travel;
    mark[slot * 2 + 1] = (static_cast<uint32_t>(scan) & 0xFFFFu) | ((overtrigs & 0xFFu) << 16);
}

int64_t SceneRenderer::Impl::phase(int64_t scan) const {
    return period > 0 ? (scan % period + period) % period : scan;
}

void SceneRenderer::Impl::render(IconBuffer& buffer, int slot, int64_t phase) {
    for (const Target& t : targets) {
        if (t.kind == Kind::IMAGE) {
            // One scan is one sensor row; a frame of `rows` scans shows the
            // belt where it was at the frame's first scan.
            profile(phase - phase % rows);
            renderImage(buffer, t, slot, static_cast<int>(phase % rows));
        } else {
            profile(phase);
            t.kind == Kind::COG ? renderCog(buffer, t, slot) : renderRange(buffer, t, slot);
        }
    }
}

// The cache is left out when one period of scans would not fit in `limit`
// bytes; rendering then happens scan by scan, with the same result.
void SceneRenderer::Impl::setupCache(const DataFormat& format, size_t limit) {
    const size_t column = static_cast<size_t>(columns);
    // Only planes the render writes: one of another type keeps what it holds.
    const auto writes = [&](const Target& t, const char* sub, const char* type) {
        const Component* c = format.getNamedComponent(t.name);
        const SubComponent* s = c != nullptr ? c->getNamedSubComponent(sub) : nullptr;
        return s != nullptr && s->getValueType() == type;
    };
    for (const Target& t : targets) {
        if (t.kind == Kind::COG && writes(t, "Sum", "WORD") && writes(t, "XSum", "WORD")) {
            planes.push_back({t.name, "Sum", 2 * column, 0});
            planes.push_back({t.name, "XSum", 2 * column, 0});
        } else if (t.kind == Kind::RANGE && writes(t, "Range", "WORD")) {
            planes.push_back({t.name, "Range", 2 * column, 0});
            if (writes(t, "Intensity", "BYTE")) {
                planes.push_back({t.name, "Intensity", column, 0});
            }
        } else if (t.kind == Kind::IMAGE && writes(t, "Image", "BYTE")) {
            planes.push_back({t.name, "Image", column, 0});
        }
    }
    size_t bytes = 0;
    for (CachedPlane& plane : planes) {
        plane.offset = bytes;
        bytes += plane.bytes;
    }
    if (period > 0 && bytes > 0 && static_cast<uint64_t>(period) <= limit / bytes) {
        cachedScanBytes = bytes;
    }
}

void SceneRenderer::Impl::copyPlanes(IconBuffer& buffer, int slot, int64_t phase, bool intoCache) {
    uint8_t* scan = cache.get() + static_cast<size_t>(phase) * cachedScanBytes;
    for (const CachedPlane& plane : planes) {
        void* data = nullptr;
        if (buffer.getRawWritePointer(plane.component, plane.subComponent, data) != 0) {
            continue;
        }
        uint8_t* row = static_cast<uint8_t*>(data) + static_cast<size_t>(slot) * plane.bytes;
        if (intoCache) {
            std::memcpy(scan + plane.offset, row, plane.bytes);
        } else {
            std::memcpy(row, scan + plane.offset, plane.bytes);
        }
    }
}

SceneRenderer::SceneRenderer(const DeviceConfig& device, const DataFormat& format,
                             size_t cacheBytes)
    : impl_(new Impl) {
    Impl& m = *impl_;
    m.device = device;
    m.columns = device.sensor.columns;
    m.rows = device.sensor.rows;
    m.sumMax = std::min<uint32_t>(8191u, 524287u / static_cast<uint32_t>(m.rows));
    bool image = false;
    for (int i = 0; i < format.numComponents(); ++i) {
        const Component& c = *format.getComponent(i);
        const Kind kind = c.getValueType() == "COG"     ? Kind::COG
                          : c.getValueType() == "RANGE" ? Kind::RANGE
                                                        : Kind::IMAGE;
        image = image || kind == Kind::IMAGE;
        m.targets.push_back({c.getName(), kind, c.getNamedSubComponent("Mark") != nullptr,
                             c.getNamedSubComponent("Intensity") != nullptr});
    }
    m.period = renderPeriod(device, image);
    m.row.resize(static_cast<size_t>(m.columns));
    m.z.resize(static_cast<size_t>(m.columns));
    m.reflectance.resize(static_cast<size_t>(m.columns));
    m.active.reserve(device.scene.objects.size());
    m.spans.reserve(device.scene.objects.size());
    m.setupColumns();
    m.setupCache(format, cacheBytes);
}

SceneRenderer::~SceneRenderer() {
    delete impl_;
}

void SceneRenderer::renderScan(IconBuffer& buffer, int slot, int64_t scanIndex) {
    Impl& m = *impl_;
    const int64_t phase = m.phase(scanIndex);
    if (!m.cacheable()) {
        m.render(buffer, slot, phase);
    } else {
        if (!m.cache) {
            m.cacheSize = static_cast<size_t>(m.period) * m.cachedScanBytes;
            m.cache.reset(new uint8_t[m.cacheSize]);
            m.cached.assign(static_cast<size_t>(m.period), false);
        }
        const bool known = m.cached[static_cast<size_t>(phase)];
        if (!known) {
            m.render(buffer, slot, phase);
            m.cached[static_cast<size_t>(phase)] = true;
        }
        m.copyPlanes(buffer, slot, phase, !known);
    }
    for (const Target& t : m.targets) {
        if (t.mark) {
            m.renderMark(buffer, t, slot, scanIndex);
        }
    }
    buffer.setLostPackets(
        slot, m.perScan(m.device.lostPacketPattern, m.device.lostPacketRate, scanIndex, 0x1057));
}

size_t SceneRenderer::cachedBytes() const {
    return impl_->cacheSize;
}

}  // namespace icon::sim
