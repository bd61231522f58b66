#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "tools/cvl-host/DriverStatistics.h"
#include "tools/cvl-host/HostLibrary.h"
#include "tools/cvl-host/PointCloudFile.h"

// A port whose pixels are points: 96 bits ("3D (XYZ)") or 160 ("3D (XYZCI)").
bool IsPointCloud(int pixelBits);

// Reads the port's last point cloud: its "Width" points from row 0.
PointCloud ReadPointCloud(HostLibrary& driver, int port, int pixelBits);

// What the driver's statistics say a port's points are: "; Y: ...;
// calibration: ...", or that the driver did not say.
std::string PointsNote(const DriverStatistics& statistics);

// Reads the port's last point cloud, writes it as a PLY file and prints its
// point count and bounds, then `note`, to `out`.
void SavePointCloud(HostLibrary& driver, const std::string& camera, int port, int pixelBits,
                    const std::filesystem::path& path, const std::string& note, std::ostream& out);
