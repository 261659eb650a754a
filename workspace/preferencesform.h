#pragma once

#include <QDialog>

#include "media/videosource.h"

class QCheckBox;
class QSettings;
class QSpinBox;

// The author's preferences (Edit > Preferences), kept in the per-user settings: snapping to guides,
// how often a modified project is saved for recovery, and how the video is decoded (threads, and a
// lower limit for the memory of decoded pictures kept for stepping back).
struct Preferences
{
    bool snapToGuides = true;
    int autosaveMinutes = 2;  // 1 .. 60
    int decoderThreads = 0;   // 0: one per processor core
    int pictureCacheMiB = 0;  // 0: the decoder's own rule (one group and 24 pictures, at most a
                              // quarter of the memory); otherwise at most this much

    DecoderSettings decoderSettings() const
    {
        return {decoderThreads, std::size_t(pictureCacheMiB) << 20};
    }

    static Preferences read(const QSettings& settings);
    void write(QSettings& settings) const;
    bool operator==(const Preferences&) const = default;
};

class TPreferencesForm : public QDialog
{
    Q_OBJECT
public:
    explicit TPreferencesForm(const Preferences& current, QWidget* parent = nullptr);
    Preferences preferences() const;

private:
    QCheckBox* m_snap = nullptr;
    QSpinBox* m_autosave = nullptr;
    QSpinBox* m_threads = nullptr;
    QSpinBox* m_cache = nullptr;
};
