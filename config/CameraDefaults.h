#pragma once

class CameraParameters;

// Fills a camera's set with its log settings and camera settings, in display
// and file order. Does nothing when the set is already filled, so values set
// through property calls before a reopen survive.
void CreateDefaultParameters(CameraParameters& parameters);
