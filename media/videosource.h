#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "document/messages.h"
#include "media/avifile.h"

// The messages of the video source, also used by vrplmenu for the same failures.
inline const QString kUnableToOpenFile = QStringLiteral("Unable to open AVI file");
inline const QString kUnableToOpenStream = QStringLiteral("Unable to open the video stream");
inline const QString kNoStreamInfo = QStringLiteral("Can't get video stream information");
inline const QString kGetFrameFailed = QStringLiteral("AVIStreamGetFrame FAILED!!!!");

// How the decoder of a video works, set by the author's preferences and kept for every video opened.
struct DecoderSettings
{
    int threads = 0;           // 0: one per processor core
    std::size_t cacheLimit = 0; // bytes of decoded pictures at most; 0: the decoder's own rule

    bool operator==(const DecoderSettings&) const = default;
};

// The open menu video: frame count, picture size, exact frame decoding into the picture the main
// window shows, frame times and key frames. Also puts still JPEG pictures into the same picture.
// At most one video is open at a time; a second open releases the first completely.
class VideoSource
{
public:
    explicit VideoSource(MessageSink sink);
    ~VideoSource();
    VideoSource(const VideoSource&) = delete;
    VideoSource& operator=(const VideoSource&) = delete;

    // Closes any open video, then opens the file and its first video stream and prepares the
    // decoder. Failures go to the sink with their fixed texts. Returns whether a video is open
    // afterwards. (The window side, track bar range and fitting, is the main window's.)
    bool OpenVideo(const QString& path);
    // Releases decoder, stream and file in this order.
    void CloseVideo();
    bool isOpen() const;     // file and stream present
    bool hasDecoder() const; // a decoder exists for the stream's codec

    // Told of every release of decoder, stream and file, in the order they happen (for checks and
    // diagnostics; the video source works the same without it).
    void setReleaseObserver(std::function<void(AviRelease)> observer);
    // Applied to the open video at once and to every one opened after.
    void setDecoderSettings(const DecoderSettings& settings);
    const DecoderSettings& decoderSettings() const { return m_decoderSettings; }
    // The open file's stream and decoder, or null (for the frame information and the tools).
    const AviStream* stream() const { return m_stream.get(); }
    AviFrameDecoder* decoder() { return m_decoder.get(); }

    // Decodes frame n into picture(). False without decoder (silently) or when decoding fails
    // ("AVIStreamGetFrame FAILED!!!!"; the picture keeps its previous content).
    bool ShowFrame(int n);
    // Gives back the memory of the decoded pictures kept for stepping (the window calls it when the
    // author has stayed on one frame for a while); the picture shown stays.
    void releaseMemory();
    // The in-memory BMP file image of the last frame shown ("BM" header, info header, rows).
    const QByteArray& lastBmpImage() const;

    uint32_t FrameTime(int n) const; // milliseconds
    bool IsKeyFrame(int n) const;
    int NextKeyFrame(int n) const;     // first key frame searched from n + 1 forward, or -1
    int PreviousKeyFrame(int n) const; // last key frame searched from n - 1 backward, or -1
    int32_t FrameCount() const;        // the stream's length in frames; 0 when closed
    int pictureWidth() const;          // right of the stream's frame rectangle
    int pictureHeight() const;         // bottom of the stream's frame rectangle

    // Decodes a JPEG file into picture(). Throws JpegError (media/jpegdecoder.h) with the
    // library's own text when the file cannot be read; the picture is then unchanged.
    void ShowPicture(const QString& path);

    // The picture last put in by ShowFrame or ShowPicture, never scaled.
    const QImage& picture() const;

    // Many pictures at once, decoded in the cheapest order (frame order) but returned in the order
    // asked, each scaled to `size` (for the page thumbnails of an opened menu file). A frame that
    // cannot be decoded gives a null image.
    std::vector<QImage> thumbnails(const std::vector<int>& frames, QSize size);

    // The split of a time in milliseconds for the frame information text.
    struct TimeSplit
    {
        uint8_t hours = 0;
        uint8_t minutes = 0;
        uint8_t seconds = 0;
        uint16_t milliseconds = 0;
    };
    static TimeSplit SplitTime(uint32_t ms);

    // State kept for the frame information (written by the main window's frame-change step).
    uint32_t lastTime = 0;
    TimeSplit lastSplit;
    bool isKeyFrame = false;
    int32_t lastNextKeyFrame = 0;

    // The BMP file image that wraps a packed bitmap (info header, any colour table or masks, rows):
    // the 14-byte file header with the total size and the offset of the pixel rows in front of it.
    static QByteArray bmpFileImage(const QByteArray& dib);

private:
    void report(const QString& text, const QString& caption, MessageIcon icon) const;

    MessageSink m_sink;
    std::function<void(AviRelease)> m_releaseObserver;
    DecoderSettings m_decoderSettings;
    void applyDecoderSettings();
    // CloseVideo and the destructor release them explicitly: decoder, stream, file.
    std::unique_ptr<AviFile> m_file;
    std::unique_ptr<AviStream> m_stream;
    std::unique_ptr<AviFrameDecoder> m_decoder;
    QImage m_picture;
    AviPicture m_lastFrame;       // the decoded form of the frame last shown
    mutable QByteArray m_bmp;     // its BMP file image, made when first asked for
};
