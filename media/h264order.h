#pragma once

// Just enough of the H.264 headers to know, for the pictures of one closed group, which of them other
// pictures refer to and in which order they are shown. A jump then decodes neither the pictures
// nothing refers to that are shown before the one asked for, nor needs the decoder's own timing to
// tell which picture came out.

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The picture one chunk holds, as its first slice tells.
struct H264Picture
{
    bool idr = false;
    bool reference = false; // other pictures may refer to it (nal_ref_idc is not 0)
    int pocType = 0;        // how the show order is coded: 0, 1 or 2
    int32_t pocLsb = 0;     // order type 0: the low bits of the show order ...
    int32_t maxPocLsb = 0;  // ... which count up to this and wrap
    int32_t bottomDelta = 0;
};

// A picture of a group: its place in show order from the group's first picture, and whether other
// pictures refer to it.
struct H264GroupPicture
{
    int32_t shown = 0;
    bool reference = true;
};

// Reads chunks in Annex B form (start codes), remembering the parameter sets it passes.
class H264HeaderReader
{
public:
    // The parameter sets of the stream's header, when it has them in Annex B form.
    void addParameterSets(const QByteArray& data);
    // The picture of one chunk; nothing when it has no slice this reader can follow (fields, show
    // order type 1, unknown parameter sets, a slice header cut off).
    std::optional<H264Picture> read(const QByteArray& chunk);

private:
    struct Sps
    {
        bool known = false;
        bool separateColourPlanes = false;
        bool frameMbsOnly = true;
        int log2MaxFrameNum = 4;
        int pocType = 0;
        int log2MaxPocLsb = 4;
    };
    struct Pps
    {
        bool known = false;
        int sps = 0;
        bool bottomPocInFrame = false;
    };
    std::array<Sps, 32> m_sps;
    std::array<Pps, 256> m_pps;

    void readSps(const std::vector<uint8_t>& rbsp);
    void readPps(const std::vector<uint8_t>& rbsp);
    std::optional<H264Picture> readSlice(const std::vector<uint8_t>& rbsp, int nalType, int refIdc) const;
};

// The show order of a closed group, given its pictures in stored order: the first must be an IDR
// picture and no other. Nothing when the order cannot be known for certain.
std::optional<std::vector<H264GroupPicture>> h264GroupOrder(const std::vector<H264Picture>& pictures);
