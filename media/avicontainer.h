#pragma once

#include "media/videocontainer.h"

#include <QString>

#include <memory>

// The AVI reader of the container layer. Null when the file cannot be opened or is not an AVI file;
// `error` then says why, in words (FFmpeg's own text included).
std::unique_ptr<VideoContainer> openAviContainer(const QString& path, QString* error);
