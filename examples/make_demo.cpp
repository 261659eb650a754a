// Writes the demo menu into a folder: demo.ini, the menu video and its two still pictures, the movie
// with two special features, a second audio language and two subtitle files. Every picture is drawn
// here and every file written by the program's own writers, so the demo can be made again from the
// sources:
//
//     make_demo examples/demo
//
// The menu file comes from the project's writer, so it is in the very layout the program saves.
#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <type_traits>

#include "core/safefile.h"
#include "document/model.h"
#include "document/projectwriter.h"
#include "fixtures/jpegfixtures.h"
#include "fixtures/videofixtures.h"

namespace {

// The menu is PAL sized, as most menus of this kind are; the movie is small to keep the demo small.
constexpr int kWidth = 720;
constexpr int kHeight = 576;
constexpr int kMovieWidth = 320;
constexpr int kMovieHeight = 240;
constexpr int kFramesPerChapter = 25;

struct Range
{
    int first;
    int last;
    bool contains(int n) const { return n >= first && n <= last; }
};

// The pages' parts of the menu video, one after the other.
constexpr Range kIntro{0, 74};
constexpr Range kMainMenu{75, 174};
constexpr Range kChapters1{175, 224};
constexpr Range kChapters2{225, 274};
constexpr Range kSpecials{275, 349};
constexpr Range kStartMovie{350, 399};
constexpr int kMenuFrames = 400;
// The special features' buttons fade in over the first frames of their page; clicks wait for them.
constexpr int kSpecialsButtonsShown = kSpecials.first + 10;

const QStringList kChapterNames = {
    QStringLiteral("Opening"),     QStringLiteral("The harbour"), QStringLiteral("The storm"),
    QStringLiteral("Night watch"), QStringLiteral("Land ahead"),  QStringLiteral("The market"),
    QStringLiteral("Homeward"),    QStringLiteral("Finale"),
};

// Where the buttons stand. The same rectangles are drawn on the pictures and written as the areas.
QRect columnButton(int row)
{
    return QRect(250, 200 + 60 * row, 220, 44);
}
QRect chapterBox(int i) // 2 x 2 grid, the same on both chapter pages
{
    return QRect(100 + 280 * (i % 2), 110 + 200 * (i / 2), 240, 180);
}
const QRect kPreviousButton(100, 510, 160, 40);
const QRect kChaptersMenuButton(280, 510, 160, 40);
const QRect kNextButton(460, 510, 160, 40);
QRect audioButton(int row)
{
    return QRect(110, 200 + 60 * row, 220, 44);
}
QRect subtitleButton(int row)
{
    return QRect(390, 200 + 60 * row, 220, 44);
}
const QRect kBottomButton(250, 470, 220, 44);

const QStringList kMainButtons = {QStringLiteral("Play movie"), QStringLiteral("Chapters"),
                                  QStringLiteral("Special features"), QStringLiteral("Languages"),
                                  QStringLiteral("About")};
const QStringList kSpecialButtons = {QStringLiteral("The making of"), QStringLiteral("Trailer"),
                                     QStringLiteral("Credits"), QStringLiteral("Main menu")};

QString areaText(const QRect& r)
{
    return QStringLiteral("%1,%2-%3,%4").arg(r.left()).arg(r.top()).arg(r.left() + r.width()).arg(r.top() + r.height());
}

// ---- Drawing ---------------------------------------------------------------------------------------

QFont font(int pixels, bool bold = false, bool serif = false)
{
    QFont f(serif ? QStringLiteral("DejaVu Serif") : QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// Night-blue background with twinkling stars, so the looping pages move a little while the video
// stays small (a star changes a few pixels, a moving glow would change most of the picture).
// `phase` runs from 0 to 1 over a page; every star is back where it started at 1, so a loop is seamless.
void drawBackground(QPainter& p, double phase)
{
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, QColor(10, 24, 54));
    sky.setColorAt(1, QColor(30, 62, 104));
    p.fillRect(0, 0, kWidth, kHeight, sky);
    QRadialGradient glow(QPointF(kWidth / 2, 100), 300);
    glow.setColorAt(0, QColor(120, 160, 230, 60));
    glow.setColorAt(1, QColor(120, 160, 230, 0));
    p.fillRect(0, 0, kWidth, kHeight, glow);
    quint32 seed = 7;
    auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % quint32(range));
    };
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 24; ++i) {
        // In the margins, clear of titles and buttons.
        const int x = next(180);
        const QPointF at(x < 90 ? x + 5 : kWidth - 183 + x, 10 + next(kHeight - 50));
        const double twinkle = 0.5 + 0.5 * std::sin((phase * (1 + next(3)) + next(100) / 100.0) * 2 * M_PI);
        p.setBrush(QColor(255, 250, 220, 60 + int(180 * twinkle)));
        p.drawEllipse(at, 1.2 + 0.8 * twinkle, 1.2 + 0.8 * twinkle);
    }
    p.fillRect(0, kHeight - 12, kWidth, 12, QColor(200, 160, 60));
}

void drawTitle(QPainter& p, const QString& text, int y = 40, int alpha = 255)
{
    p.setFont(font(44, true, true));
    p.setPen(QColor(0, 0, 0, alpha / 2));
    p.drawText(QRect(3, y + 3, kWidth, 70), Qt::AlignCenter, text);
    p.setPen(QColor(240, 200, 90, alpha));
    p.drawText(QRect(0, y, kWidth, 70), Qt::AlignCenter, text);
}

void drawButton(QPainter& p, const QRect& r, const QString& text, int alpha = 255)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(240, 200, 90, alpha), 2));
    p.setBrush(QColor(255, 255, 255, alpha * 40 / 255));
    p.drawRoundedRect(QRectF(r).adjusted(1, 1, -1, -1), 10, 10);
    p.setFont(font(r.height() >= 44 ? 22 : 18, true));
    p.setPen(QColor(255, 255, 255, alpha));
    p.drawText(r, Qt::AlignCenter, text);
}

void drawText(QPainter& p, const QRect& r, const QString& text, int pixels, QColor colour = Qt::white)
{
    p.setFont(font(pixels));
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, text);
}

// The movie: eight short scenes of a boat crossing the sea, one per chapter. The chapter buttons show
// them without the lettering.
QImage moviePicture(int n, bool lettering = true)
{
    const int chapter = std::min(n / kFramesPerChapter, int(kChapterNames.size()) - 1);
    const int t = n % kFramesPerChapter;
    QImage image(kMovieWidth, kMovieHeight, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kMovieHeight);
    const QColor top = QColor::fromHsv((200 + chapter * 40) % 360, 120, chapter == 3 ? 60 : 200);
    sky.setColorAt(0, top);
    sky.setColorAt(1, top.lighter(160));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(chapter == 3 ? QColor(240, 240, 210) : QColor(255, 210, 80));
    p.drawEllipse(QPointF(250, 60), 22, 22);
    p.fillRect(0, 160, kMovieWidth, 80, QColor(20, 60, 110));
    const double x = 30 + 10 * t;
    const double bob = 3 * std::sin(t * 0.6);
    QPainterPath hull;
    hull.moveTo(x - 40, 150 + bob);
    hull.lineTo(x + 40, 150 + bob);
    hull.lineTo(x + 28, 170 + bob);
    hull.lineTo(x - 28, 170 + bob);
    hull.closeSubpath();
    p.setBrush(QColor(120, 60, 30));
    p.drawPath(hull);
    p.setBrush(QColor(245, 245, 235));
    p.drawPolygon(QPolygonF({QPointF(x, 80 + bob), QPointF(x, 145 + bob), QPointF(x + 35, 145 + bob)}));
    if (!lettering)
        return image;
    p.setFont(font(16, true));
    p.setPen(Qt::white);
    p.drawText(QRect(8, 6, kMovieWidth - 16, 24), Qt::AlignLeft,
               QStringLiteral("%1. %2").arg(chapter + 1).arg(kChapterNames[chapter]));
    p.setFont(font(11));
    p.drawText(QRect(8, kMovieHeight - 22, kMovieWidth - 16, 18), Qt::AlignRight, QStringLiteral("frame %1").arg(n));
    return image;
}

QImage specialPicture(const QString& title, QColor colour, int n, int frames)
{
    QImage image(kMovieWidth, kMovieHeight, QImage::Format_RGB888);
    image.fill(colour);
    QPainter p(&image);
    p.setFont(font(24, true, true));
    p.setPen(Qt::white);
    p.drawText(QRect(0, 60, kMovieWidth, 60), Qt::AlignCenter, title);
    p.fillRect(40, 160, (kMovieWidth - 80) * (n + 1) / frames, 10, QColor(240, 200, 90));
    p.setFont(font(11));
    p.drawText(QRect(0, kMovieHeight - 24, kMovieWidth - 8, 18), Qt::AlignRight, QStringLiteral("frame %1").arg(n));
    return image;
}

void drawChapterPage(QPainter& p, int firstChapter, bool previous, bool next)
{
    drawTitle(p, QStringLiteral("Chapters"), 20);
    for (int i = 0; i < 4; ++i) {
        const int chapter = firstChapter + i;
        const QRect box = chapterBox(i);
        const QRect picture(box.left(), box.top(), box.width(), 150);
        p.drawImage(picture, moviePicture(chapter * kFramesPerChapter + 12, false));
        p.setPen(QPen(QColor(240, 200, 90), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(box).adjusted(1, 1, -1, -1));
        p.fillRect(box.left() + 2, box.top() + 150, box.width() - 4, 28, QColor(10, 24, 54, 200));
        drawText(p, QRect(box.left(), box.top() + 150, box.width(), 30),
                 QStringLiteral("%1. %2").arg(chapter + 1).arg(kChapterNames[chapter]), 17);
    }
    if (previous)
        drawButton(p, kPreviousButton, QStringLiteral("< Previous"));
    drawButton(p, kChaptersMenuButton, QStringLiteral("Main menu"));
    if (next)
        drawButton(p, kNextButton, QStringLiteral("Next >"));
}

QImage menuPicture(int n)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Range& page : {kIntro, kMainMenu, kChapters1, kChapters2, kSpecials, kStartMovie})
        if (page.contains(n))
            drawBackground(p, double(n - page.first) / (page.last - page.first + 1));
    if (kIntro.contains(n)) {
        const int alpha = std::min(255, n * 255 / 40);
        drawTitle(p, QStringLiteral("The Demo Movie"), 220, alpha);
        if (n > 40)
            drawText(p, QRect(0, 300, kWidth, 40), QStringLiteral("an example menu made with VazoVevoz"), 22,
                     QColor(255, 255, 255, std::min(255, (n - 40) * 255 / 20)));
    } else if (kMainMenu.contains(n)) {
        drawTitle(p, QStringLiteral("The Demo Movie"), 60);
        for (int i = 0; i < kMainButtons.size(); ++i)
            drawButton(p, columnButton(i), kMainButtons[i]);
    } else if (kChapters1.contains(n)) {
        drawChapterPage(p, 0, false, true);
    } else if (kChapters2.contains(n)) {
        drawChapterPage(p, 4, true, false);
    } else if (kSpecials.contains(n)) {
        drawTitle(p, QStringLiteral("Special features"), 60);
        const int alpha = std::min(255, (n - kSpecials.first) * 255 / (kSpecialsButtonsShown - kSpecials.first));
        for (int i = 0; i < kSpecialButtons.size(); ++i)
            drawButton(p, columnButton(i), kSpecialButtons[i], alpha);
    } else {
        const int alpha = std::min(255, (n - kStartMovie.first) * 255 / 20);
        drawText(p, QRect(0, 240, kWidth, 60), QStringLiteral("Enjoy the movie"), 36, QColor(240, 200, 90, alpha));
    }
    return image;
}

QImage languagesPicture()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawBackground(p, 0.25);
    drawTitle(p, QStringLiteral("Languages"), 40);
    drawText(p, QRect(audioButton(0).left(), 150, audioButton(0).width(), 40), QStringLiteral("Audio"), 24,
             QColor(240, 200, 90));
    drawText(p, QRect(subtitleButton(0).left(), 150, subtitleButton(0).width(), 40), QStringLiteral("Subtitles"), 24,
             QColor(240, 200, 90));
    drawButton(p, audioButton(0), QStringLiteral("English"));
    drawButton(p, audioButton(1), QStringLiteral("French"));
    drawButton(p, subtitleButton(0), QStringLiteral("English"));
    drawButton(p, subtitleButton(1), QStringLiteral("French"));
    drawButton(p, subtitleButton(2), QStringLiteral("Off"));
    drawButton(p, kBottomButton, QStringLiteral("Main menu"));
    return image;
}

QImage creditsPicture()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawBackground(p, 0.75);
    drawTitle(p, QStringLiteral("Credits"), 40);
    drawText(p, QRect(60, 140, kWidth - 120, 300),
             QStringLiteral("The Demo Movie\n\nPictures, boat and sea drawn by the demo generator\n"
                            "Menu made with VazoVevoz\n\nNo boats were harmed."),
             22);
    drawButton(p, kBottomButton, QStringLiteral("Back"));
    return image;
}

// ---- The other files -------------------------------------------------------------------------------

void writeFile(const QString& path, const QByteArray& bytes)
{
    const FileWriteResult written = writeFileSafely(path, bytes);
    if (!written)
        throw fixtures::FixtureError(fileWriteFailureText(path, written).toStdString());
}

// The French sound track: as long as the movie, 8-bit mono at 8 kHz, a soft tone per chapter.
QByteArray frenchAudio(int movieFrames)
{
    constexpr int kRate = 8000;
    const int samples = movieFrames * kRate / 25;
    QByteArray wav;
    auto le32 = [&wav](quint32 v) {
        for (int i = 0; i < 4; ++i)
            wav.append(char((v >> (8 * i)) & 0xff));
    };
    auto le16 = [&wav](quint16 v) {
        wav.append(char(v & 0xff));
        wav.append(char(v >> 8));
    };
    wav.append("RIFF");
    le32(quint32(36 + samples));
    wav.append("WAVEfmt ");
    le32(16);
    le16(1); // PCM
    le16(1); // mono
    le32(kRate);
    le32(kRate);
    le16(1);
    le16(8);
    wav.append("data");
    le32(quint32(samples));
    for (int i = 0; i < samples; ++i) {
        const int chapter = i * 25 / kRate / kFramesPerChapter;
        const double hz = 220.0 * std::pow(2.0, chapter / 12.0);
        wav.append(char(128 + int(20 * std::sin(2 * M_PI * hz * i / kRate))));
    }
    return wav;
}

QByteArray subtitles(const QStringList& lines)
{
    QByteArray out;
    for (int i = 0; i < lines.size(); ++i) {
        // One line per chapter, shown during its second half second.
        const int fromMs = i * kFramesPerChapter * 40 + 100;
        const int toMs = fromMs + 800;
        auto time = [](int ms) {
            return QStringLiteral("00:00:%1,%2").arg(ms / 1000, 2, 10, QLatin1Char('0')).arg(ms % 1000, 3, 10, QLatin1Char('0'));
        };
        out += QStringLiteral("%1\r\n%2 --> %3\r\n%4\r\n\r\n").arg(i + 1).arg(time(fromMs), time(toMs), lines[i]).toLatin1();
    }
    return out;
}

// ---- The menu --------------------------------------------------------------------------------------

Page& addPage(MenuProject& project, int number, const QString& name)
{
    project.pages.push_back(std::make_unique<Page>(number, name));
    return *project.pages.back();
}

Page& videoPage(MenuProject& project, int number, const QString& name, Range range, bool loop)
{
    Page& page = addPage(project, number, name);
    page.backgroundIsVideo = true;
    page.firstFrame = range.first;
    page.lastFrame = range.last;
    page.videoLoop = loop;
    return page;
}

Page& stillPage(MenuProject& project, int number, const QString& name, const QString& picture)
{
    Page& page = addPage(project, number, name);
    page.pictureFile = picture;
    return page;
}

Selection& addSelection(Page& page, const QString& name, const QRect& area)
{
    page.selectionAvailable = true;
    page.defaultSelection = 1;
    return page.addSelection(std::make_unique<Selection>(name, areaText(area)));
}

void fillMovieData(MovieData& md, int movieFrames)
{
    auto add = [](auto& list, auto element) { list.push_back(std::make_unique<std::decay_t<decltype(*list.front())>>(std::move(element))); };
    md.title = QStringLiteral("The Demo Movie");
    md.id = QStringLiteral("VAZODEMO");
    md.delay = QStringLiteral("2");
    md.movieDirectory = QStringLiteral("video");
    md.aviName = QStringLiteral("demo_movie.avi");
    md.cd1Frames = QString::number(movieFrames);
    for (int i = 0; i < kChapterNames.size(); ++i)
        add(md.chapters, Chapter{QString::number(i + 1), QString::number(i * kFramesPerChapter), kChapterNames[i]});
    md.specialsCD = QStringLiteral("1");
    add(md.specials, SpecialFeature{QStringLiteral("1"), QStringLiteral("The making of"), QStringLiteral("making_of.avi")});
    add(md.specials, SpecialFeature{QStringLiteral("2"), QStringLiteral("Trailer"), QStringLiteral("trailer.avi")});
    md.languageDirectory = QStringLiteral("audio");
    add(md.languages, AudioLanguage{QStringLiteral("0"), QStringLiteral("EN"), QStringLiteral("English"), QString()});
    add(md.languages, AudioLanguage{QStringLiteral("1"), QStringLiteral("FR"), QStringLiteral("French"), QStringLiteral("demo_fr.wav")});
    md.subtitlesDirectory = QStringLiteral("subs");
    md.lines = QStringLiteral("2");
    SubtitleTrack en{QStringLiteral("1"), QStringLiteral("EN"), QStringLiteral("English"), QStringLiteral("demo_en.srt"), {}, {}, {}, {}, {}, {}};
    en.format = QStringLiteral("2"); // SubRip
    SubtitleTrack fr{QStringLiteral("2"), QStringLiteral("FR"), QStringLiteral("French"), QStringLiteral("demo_fr.srt"), {}, {}, {}, {}, {}, {}};
    fr.format = QStringLiteral("2");
    add(md.subtitles, en);
    add(md.subtitles, fr);
    md.menuDirectory = QStringLiteral("menu");
    md.menuAVIName = QStringLiteral("menu.avi");
    md.menuSize = QStringLiteral("%1,%2").arg(kWidth).arg(kHeight);
    md.startPage = QStringLiteral("1");
    md.menuPage = QStringLiteral("2");
    md.chaptersPage = QStringLiteral("3");
    md.specialsPage = QStringLiteral("5");
}

void fillPages(MenuProject& project)
{
    // 1: the title fades in, then the main menu.
    videoPage(project, 1, QStringLiteral("Intro"), kIntro, false).jumpAtEnd = 2;

    // 2: the main menu loops until a button is chosen.
    Page& main = videoPage(project, 2, QStringLiteral("Main menu"), kMainMenu, true);
    addSelection(main, kMainButtons[0], columnButton(0)).addAction(1, QStringLiteral("8"));
    addSelection(main, kMainButtons[1], columnButton(1)).addAction(1, QStringLiteral("3"));
    addSelection(main, kMainButtons[2], columnButton(2)).addAction(1, QStringLiteral("5"));
    addSelection(main, kMainButtons[3], columnButton(3)).addAction(1, QStringLiteral("6"));
    addSelection(main, kMainButtons[4], columnButton(4))
        .addAction(4, QStringLiteral("16 The Demo Movie|An example menu made with VazoVevoz.|Open it, change it, save it."));

    // 3 and 4: two chapter pages with the same grid, linked by relative jumps.
    for (int pageIndex = 0; pageIndex < 2; ++pageIndex) {
        const int first = pageIndex * 4;
        Page& page = videoPage(project, 3 + pageIndex, QStringLiteral("Chapters %1-%2").arg(first + 1).arg(first + 4),
                               pageIndex == 0 ? kChapters1 : kChapters2, true);
        for (int i = 0; i < 4; ++i)
            addSelection(page, QStringLiteral("Chapter %1").arg(first + i + 1), chapterBox(i))
                .addAction(3, QString::number(first + i + 1));
        if (pageIndex == 1)
            addSelection(page, QStringLiteral("Previous"), kPreviousButton).addAction(9, QStringLiteral("-1"));
        addSelection(page, QStringLiteral("Main menu"), kChaptersMenuButton).addAction(1, QStringLiteral("2"));
        if (pageIndex == 0)
            addSelection(page, QStringLiteral("Next"), kNextButton).addAction(9, QStringLiteral("+1"));
    }

    // 5: the special features; the buttons fade in and take clicks once they are there, then the
    // page holds its last frame.
    Page& specials = videoPage(project, 5, QStringLiteral("Special features"), kSpecials, false);
    specials.prohibitSelectionBefore = kSpecialsButtonsShown;
    addSelection(specials, kSpecialButtons[0], columnButton(0)).addAction(5, QStringLiteral("1"));
    addSelection(specials, kSpecialButtons[1], columnButton(1)).addAction(5, QStringLiteral("2"));
    addSelection(specials, kSpecialButtons[2], columnButton(2)).addAction(1, QStringLiteral("7"));
    addSelection(specials, kSpecialButtons[3], columnButton(3)).addAction(1, QStringLiteral("2"));

    // 6: a still picture; each choice changes the language or subtitle and goes back to the menu.
    Page& languages = stillPage(project, 6, QStringLiteral("Languages"), QStringLiteral("languages.jpg"));
    auto choice = [&languages](const QString& name, const QRect& area, int type, int number) {
        Selection& s = addSelection(languages, name, area);
        s.addAction(type, QString::number(number));
        s.addAction(1, QStringLiteral("2"));
    };
    choice(QStringLiteral("English audio"), audioButton(0), 6, 0);
    choice(QStringLiteral("French audio"), audioButton(1), 6, 1);
    choice(QStringLiteral("English subtitles"), subtitleButton(0), 7, 1);
    choice(QStringLiteral("French subtitles"), subtitleButton(1), 7, 2);
    choice(QStringLiteral("Subtitles off"), subtitleButton(2), 7, 0);
    addSelection(languages, QStringLiteral("Main menu"), kBottomButton).addAction(1, QStringLiteral("2"));

    // 7: another still picture, reached from the special features.
    Page& credits = stillPage(project, 7, QStringLiteral("Credits"), QStringLiteral("credits.jpg"));
    addSelection(credits, QStringLiteral("Back"), kBottomButton).addAction(1, QStringLiteral("5"));

    // 8: a short good wish, then the movie starts: an action at the page's end.
    Page& start = videoPage(project, 8, QStringLiteral("Start the movie"), kStartMovie, false);
    start.actionAtEnd = std::make_unique<MenuAction>(2, QString());
}

void makeDemo(const QDir& dir)
{
    for (const char* sub : {"menu", "video", "audio", "subs"})
        if (!dir.mkpath(QString::fromLatin1(sub)))
            throw fixtures::FixtureError(std::string("cannot make the folder ") + sub);

    fixtures::VideoSpec menu;
    menu.kind = fixtures::VideoKind::Mpeg4;
    menu.width = kWidth;
    menu.height = kHeight;
    menu.frames = kMenuFrames;
    menu.keyInterval = 25; // every page starts on a key frame
    menu.quantiser = 6;
    menu.picture = menuPicture;
    fixtures::writeVideo(dir.filePath(QStringLiteral("menu/menu.avi")), menu);
    fixtures::JpegOptions jpeg;
    jpeg.quality = 85;
    fixtures::writeJpeg(dir.filePath(QStringLiteral("menu/languages.jpg")), languagesPicture(), jpeg);
    fixtures::writeJpeg(dir.filePath(QStringLiteral("menu/credits.jpg")), creditsPicture(), jpeg);

    fixtures::VideoSpec movie;
    movie.kind = fixtures::VideoKind::Mpeg4;
    movie.width = kMovieWidth;
    movie.height = kMovieHeight;
    movie.frames = int(kChapterNames.size()) * kFramesPerChapter;
    movie.keyInterval = kFramesPerChapter;
    movie.quantiser = 6;
    movie.picture = [](int n) { return moviePicture(n); };
    fixtures::writeVideo(dir.filePath(QStringLiteral("video/demo_movie.avi")), movie);
    fixtures::VideoSpec special = movie;
    special.frames = 50;
    special.picture = [](int n) { return specialPicture(QStringLiteral("The making of"), QColor(70, 40, 90), n, 50); };
    fixtures::writeVideo(dir.filePath(QStringLiteral("video/making_of.avi")), special);
    special.picture = [](int n) { return specialPicture(QStringLiteral("Trailer"), QColor(110, 30, 30), n, 50); };
    fixtures::writeVideo(dir.filePath(QStringLiteral("video/trailer.avi")), special);

    writeFile(dir.filePath(QStringLiteral("audio/demo_fr.wav")), frenchAudio(movie.frames));
    writeFile(dir.filePath(QStringLiteral("subs/demo_en.srt")),
              subtitles({QStringLiteral("The harbour wakes up."), QStringLiteral("Ropes off, sails up!"),
                         QStringLiteral("Hold on to something."), QStringLiteral("All quiet. Stars out."),
                         QStringLiteral("Land! Over there!"), QStringLiteral("Fresh bread, at last."),
                         QStringLiteral("Time to go home."), QStringLiteral("The end.")}));
    writeFile(dir.filePath(QStringLiteral("subs/demo_fr.srt")),
              subtitles({QStringLiteral("Le port se reveille."), QStringLiteral("Larguez les amarres !"),
                         QStringLiteral("Accrochez-vous."), QStringLiteral("Tout est calme. Les etoiles."),
                         QStringLiteral("Terre ! La-bas !"), QStringLiteral("Du pain frais, enfin."),
                         QStringLiteral("On rentre."), QStringLiteral("Fin.")}));

    MenuProject project;
    fillMovieData(project.movieData, movie.frames);
    fillPages(project);
    const SaveResult ok = SaveProjectFile(project, dir.filePath(QStringLiteral("demo.ini")), [](const Message& m) {
        std::fprintf(stderr, "make_demo: %s\n", qPrintable(m.text));
    });
    if (!ok)
        throw fixtures::FixtureError("the menu file was not written");
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing text needs a GUI application, but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: make_demo FOLDER\n");
        return 2;
    }
    try {
        makeDemo(QDir(args[1]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_demo: %s\n", e.what());
        return 1;
    }
    return 0;
}
