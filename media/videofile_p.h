#pragma once

// What the file and stream objects of the video file service hold. Private to media/.

#include "media/avifile.h"
#include "media/videocontainer.h"

#include <functional>
#include <memory>

struct AviFile::Impl
{
    QString path;
    std::unique_ptr<VideoContainer> container;
    std::function<void(AviRelease)> observer;

    void released(AviRelease what) const
    {
        if (observer)
            observer(what);
    }
};

struct AviStream::Impl
{
    AviFile::Impl* file = nullptr;
    VideoContainer* container = nullptr;
    const PictureIndex* index = nullptr;
};
