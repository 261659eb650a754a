#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>
#include <optional>

// A menu video made by this program: pictures encoded as MPEG-4 ASP (FFmpeg's encoder, with B-frames
// and a key frame every few seconds, tagged XVID as the player's decoders expect) in an AVI file. The
// file is made in the temporary folder and handed over as bytes, so that the caller writes it with the
// safe file writer in one piece: a cancelled or failed encoding leaves nothing beside the menu.
class Mpeg4AviWriter
{
public:
    Mpeg4AviWriter();
    ~Mpeg4AviWriter();
    Mpeg4AviWriter(const Mpeg4AviWriter&) = delete;
    Mpeg4AviWriter& operator=(const Mpeg4AviWriter&) = delete;

    // Starts a video of pictures of `width` x `height` at rateNum / rateDen pictures a second.
    bool start(int width, int height, int rateNum, int rateDen, QString* error);
    // Adds the next picture (scaled to the video's size when it has another).
    bool add(const QImage& picture, QString* error);
    // Ends the video and gives the bytes of the AVI file; nothing after a failure.
    std::optional<QByteArray> finish(QString* error);
    int picturesAdded() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
