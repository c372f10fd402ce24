#pragma once

#include <string>

// The component's two picture filters: "nativeeq" (brightness and contrast, a software video
// equalizer) and "nativehue" (hue and saturation). They are our names for FFmpeg's built-in
// "eq" and "hue"; registering one checks that the loaded libraries carry it.
//
// With quiet false a failure throws EFFmpegError; with quiet true it only returns false.
// Registering needs the libraries loaded; registering again is harmless.
bool RegisterNativeEqFilter(bool quiet);
bool RegisterNativeHueFilter(bool quiet);

// FFmpeg's name of a registered filter of ours, or "" when the name is not one (or not
// registered yet).
std::string NativeFilterTarget(const std::string& name);
