#pragma once

#include "media/videocontainer.h"

#include <QString>

#include <memory>

// The MPEG program-stream reader of the container layer (VOB, MPG). Null when the file cannot be
// opened; `error` then says why.
std::unique_ptr<VideoContainer> openProgramStreamContainer(const QString& path, QString* error);
