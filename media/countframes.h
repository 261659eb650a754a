#pragma once

#include <QString>

#include <cstdint>

#include "document/messages.h"

// The number of frames of the first video stream of a movie file, as the movie data dialog shows
// it for each CD. It works on the file alone, independent of the menu video that may be open, and
// takes the count from the file's headers and index without decoding anything. On failure it
// reports "# AVIFileOpen : AVI source init error !" (the file cannot be opened as an AVI) or
// "# AVIFileGetStream : AVI source init error !" (no video stream, or its information unreadable)
// to the sink as an information box captioned with the application title, and returns 0.
uint32_t CountVideoFrames(const QString& path, const MessageSink& sink);
