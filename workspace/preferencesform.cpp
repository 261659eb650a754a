#include "workspace/preferencesform.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace text {
namespace {
const QString kCaption = QStringLiteral("Preferences");
const QString kSnap = QStringLiteral("Snap to guides");
const QString kAutosave = QStringLiteral("Save for recovery every");
const QString kThreads = QStringLiteral("Decoder threads");
const QString kCache = QStringLiteral("Decoded pictures kept");
const QString kAutomatic = QStringLiteral("automatic");
const QString kCacheHint =
    QStringLiteral("Memory for the decoded pictures kept for stepping back. Automatic keeps one group of "
                   "pictures and 24 more (at most a quarter of the memory); less makes steps back slower, "
                   "since a group that no longer fits is decoded again from its key frame.");
const QString kSnapKey = QStringLiteral("SnapToGuides");
const QString kAutosaveKey = QStringLiteral("AutosaveMinutes");
const QString kThreadsKey = QStringLiteral("DecoderThreads");
const QString kCacheKey = QStringLiteral("PictureCacheMiB");
} // namespace
} // namespace text

Preferences Preferences::read(const QSettings& settings)
{
    Preferences p;
    p.snapToGuides = settings.value(text::kSnapKey, true).toBool();
    p.autosaveMinutes = std::clamp(settings.value(text::kAutosaveKey, 2).toInt(), 1, 60);
    p.decoderThreads = std::clamp(settings.value(text::kThreadsKey, 0).toInt(), 0, 16);
    p.pictureCacheMiB = std::clamp(settings.value(text::kCacheKey, 0).toInt(), 0, 65536);
    return p;
}

void Preferences::write(QSettings& settings) const
{
    settings.setValue(text::kSnapKey, snapToGuides);
    settings.setValue(text::kAutosaveKey, autosaveMinutes);
    settings.setValue(text::kThreadsKey, decoderThreads);
    settings.setValue(text::kCacheKey, pictureCacheMiB);
}

TPreferencesForm::TPreferencesForm(const Preferences& current, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TPreferencesForm"));
    setWindowTitle(text::kCaption);
    auto* form = new QFormLayout; // owned by the layout below
    m_snap = new QCheckBox(text::kSnap, this);
    m_snap->setObjectName(QStringLiteral("chkSnapToGuides"));
    m_snap->setChecked(current.snapToGuides);
    form->addRow(m_snap);

    m_autosave = new QSpinBox(this);
    m_autosave->setObjectName(QStringLiteral("edAutosaveMinutes"));
    m_autosave->setRange(1, 60);
    m_autosave->setSuffix(QStringLiteral(" min"));
    m_autosave->setValue(current.autosaveMinutes);
    form->addRow(text::kAutosave, m_autosave);

    m_threads = new QSpinBox(this);
    m_threads->setObjectName(QStringLiteral("edDecoderThreads"));
    m_threads->setRange(0, 16);
    m_threads->setSpecialValueText(text::kAutomatic);
    m_threads->setValue(current.decoderThreads);
    form->addRow(text::kThreads, m_threads);

    m_cache = new QSpinBox(this);
    m_cache->setObjectName(QStringLiteral("edPictureCacheMiB"));
    m_cache->setRange(0, 65536);
    m_cache->setSingleStep(16);
    m_cache->setSuffix(QStringLiteral(" MiB"));
    m_cache->setSpecialValueText(text::kAutomatic);
    m_cache->setValue(current.pictureCacheMiB);
    m_cache->setToolTip(text::kCacheHint);
    form->addRow(text::kCache, m_cache);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("bttPreferencesButtons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

Preferences TPreferencesForm::preferences() const
{
    Preferences p;
    p.snapToGuides = m_snap->isChecked();
    p.autosaveMinutes = m_autosave->value();
    p.decoderThreads = m_threads->value();
    p.pictureCacheMiB = m_cache->value();
    return p;
}
