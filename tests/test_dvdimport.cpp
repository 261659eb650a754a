// The import of a DVD's menus, on discs made here with dvdauthor and spumux: every button, chapter
// and language as the disc was made, the menu video frame for frame, the walk to each chapter, the
// command line, cancelling, damaged tables, and File > Import DVD menus with its progress and Cancel.
#include <QtTest>

#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <QRegularExpression>

#include "check/menucheck.h"
#include "document/areatext.h"
#include "document/projectloader.h"
#include "document/projectwriter.h"
#include "dvdimport/dvdcommands.h"
#include "dvdimport/dvdimport.h"
#include "editorstestutil.h"
#include "fixtures/dvdfixtures.h"
#include "fixtures/framepattern.h"
#include "media/jpegdecoder.h"
#include "media/videosource.h"
#include "player/walkreplay.h"
#include "player/walkthrough.h"
#include "workspace/problemsform.h"

using namespace dvdimport;

namespace {

// What a dvdauthor button command must become, worked out from its words alone. Menu N of the title
// set is page N + 1: the video manager's menu comes first.
QString expectedAction(const QString& command, int audioStreams)
{
    QRegularExpressionMatch m;
    if (command == QLatin1String("jump title 1;"))
        return QStringLiteral("2:");
    if (command == QLatin1String("jump titleset 1 menu;"))
        return QStringLiteral("1:2");
    if (command == QLatin1String("resume;"))
        return QStringLiteral("8:");
    if ((m = QRegularExpression(QStringLiteral("^jump menu (\\d+);$")).match(command)).hasMatch())
        return QStringLiteral("1:%1").arg(m.captured(1).toInt() + 1);
    if ((m = QRegularExpression(QStringLiteral("^jump title 1 chapter (\\d+);$")).match(command)).hasMatch())
        return QStringLiteral("3:") + m.captured(1);
    if ((m = QRegularExpression(QStringLiteral("^audio = (\\d+);$")).match(command)).hasMatch())
        return m.captured(1).toInt() < audioStreams ? QStringLiteral("6:") + m.captured(1) : QStringLiteral("4");
    if ((m = QRegularExpression(QStringLiteral("^subtitle = (\\d+);$")).match(command)).hasMatch()) {
        const int v = m.captured(1).toInt();
        return QStringLiteral("7:%1").arg(v & 64 ? (v & 63) + 1 : 0);
    }
    return QStringLiteral("?");
}

QString actionsOf(const Selection& s)
{
    QStringList out;
    for (const auto& a : s.actions)
        out << (a->type == 4 ? QStringLiteral("4") : QStringLiteral("%1:%2").arg(a->type).arg(a->parameter));
    return out.join(QLatin1Char('#'));
}

std::vector<fixtures::DvdMenuSpec> menusOf(const fixtures::DvdDiscSpec& spec)
{
    std::vector<fixtures::DvdMenuSpec> menus{spec.vmgmMenu};
    menus.insert(menus.end(), spec.menus.begin(), spec.menus.end());
    return menus;
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestDvdImport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_skip;
    fixtures::DvdDiscSpec m_palSpec;
    fixtures::DvdDiscSpec m_ntscSpec;
    fixtures::DvdDisc m_pal;
    fixtures::DvdDisc m_ntsc;

    const fixtures::DvdDiscSpec& spec(const QString& name) const { return name == QLatin1String("ntsc") ? m_ntscSpec : m_palSpec; }
    const fixtures::DvdDisc& disc(const QString& name) const { return name == QLatin1String("ntsc") ? m_ntsc : m_pal; }

    // A fresh folder for a menu file.
    QString freshFolder()
    {
        static int n = 0;
        const QString folder = m_dir.filePath(QStringLiteral("out%1").arg(++n));
        QDir().mkpath(folder);
        return folder;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_skip = fixtures::missingDvdTool();
        if (!m_skip.isEmpty())
            return;
        m_palSpec = fixtures::standardDisc(fixtures::DvdSystem::Pal);
        m_ntscSpec = fixtures::standardDisc(fixtures::DvdSystem::Ntsc);
        m_pal = fixtures::writeDvd(m_dir.filePath(QStringLiteral("pal")), m_palSpec, m_dir.filePath(QStringLiteral("pal.iso")));
        m_ntsc = fixtures::writeDvd(m_dir.filePath(QStringLiteral("ntsc")), m_ntscSpec);
    }

    // Every page, button rectangle and action, every chapter frame and language, the title and the pages
    // the player opens by itself, from each kind of source.
    void importsEverythingAsMade_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("source"); // below the disc's folder, or "iso"
        QTest::addColumn<QString>("title");
        QTest::newRow("PAL VIDEO_TS folder") << "pal" << "VIDEO_TS" << "disc";
        QTest::newRow("PAL folder above VIDEO_TS") << "pal" << "" << "disc";
        QTest::newRow("PAL ISO image") << "pal" << "iso" << "PAL_TEST";
        QTest::newRow("NTSC folder above VIDEO_TS") << "ntsc" << "" << "disc";
    }
    void importsEverythingAsMade()
    {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip + QStringLiteral(" is not installed")));
        QFETCH(QString, system);
        QFETCH(QString, source);
        QFETCH(QString, title);
        const fixtures::DvdDiscSpec& s = spec(system);
        ImportOptions options;
        options.source = source == QLatin1String("iso") ? disc(system).iso : QDir(disc(system).folder).filePath(source);
        options.menuFile = QDir(freshFolder()).filePath(QStringLiteral("menu.ini"));
        const ImportResult r = importDvd(options);
        QVERIFY2(r.ok, qPrintable(r.error));
        const MenuProject& p = r.project;

        const std::vector<fixtures::DvdMenuSpec> menus = menusOf(s);
        QCOMPARE(p.pages.size(), menus.size());
        const QStringList names{QStringLiteral("Title 1"), QStringLiteral("Root 1"), QStringLiteral("Chapter 1"),
                                QStringLiteral("Menu 1"), QStringLiteral("Audio 1"), QStringLiteral("Subtitle 1")};
        for (size_t i = 0; i < menus.size(); ++i) {
            const Page& page = *p.pages[i];
            QCOMPARE(page.number, int(i) + 1);
            QCOMPARE(page.name, names[int(i)]);
            QCOMPARE(page.backgroundIsVideo, menus[i].frames > 1);
            QCOMPARE(page.selections.size(), menus[i].buttons.size());
            for (size_t b = 0; b < menus[i].buttons.size(); ++b) {
                const QRect rect = menus[i].buttons[b].rect;
                QCOMPARE(page.selections[b]->area,
                         formatArea(rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()));
                QCOMPARE(actionsOf(*page.selections[b]),
                         expectedAction(menus[i].buttons[b].command, int(s.audioLanguages.size())));
            }
            // The first chapter menu lights its second button first; the others their first.
            QCOMPARE(page.defaultSelection, menus[i].pre == QLatin1String("button = 2048;") ? 2 : 1);
        }
        // The root menu loops; the audio menu goes back to the root menu at its end.
        QVERIFY(p.pages[1]->videoLoop);
        QCOMPARE(p.pages[4]->videoLoop, false);
        QCOMPARE(p.pages[4]->jumpAtEnd, 2);
        QCOMPARE(p.pages[3]->pictureDuration, 0);

        const MovieData& md = p.movieData;
        QCOMPARE(md.title, title);
        QStringList chapters;
        QStringList expectedChapters;
        for (size_t c = 0; c < md.chapters.size(); ++c)
            chapters << md.chapters[c]->firstFrame;
        for (int f : s.chapterFrames)
            expectedChapters << QString::number(f);
        QCOMPARE(chapters, expectedChapters);
        QStringList languages;
        for (const auto& l : md.languages)
            languages << l->number + QLatin1Char(' ') + l->shortName + QLatin1Char(' ') + l->fullName;
        QCOMPARE(languages, QStringList({QStringLiteral("0 eng English"), QStringLiteral("1 fra French")}));
        QStringList subtitles;
        for (const auto& t : md.subtitles)
            subtitles << t->number + QLatin1Char(' ') + t->shortName + QLatin1Char(' ') + t->fullName;
        QCOMPARE(subtitles, QStringList({QStringLiteral("1 deu German"), QStringLiteral("2 spa Spanish")}));
        // First play leads to the root menu.
        QCOMPARE(md.startPage, QStringLiteral("2"));
        QCOMPARE(md.menuPage, QStringLiteral("2"));
        QCOMPARE(md.chaptersPage, QStringLiteral("3"));
        QCOMPARE(md.menuSize, QStringLiteral("%1,%2").arg(disc(system).width).arg(disc(system).height));

        // The audio menu's third button sets a stream the movie does not have: reported, shown as a message.
        QCOMPARE(r.report.untranslated.size(), 1);
        QVERIFY(r.report.untranslated.constFirst().contains(QLatin1String("audio stream 3")));
        // The video manager's title menu: nothing leads to it from the pages the player starts from.
        QCOMPARE(r.report.unreachable.size(), 1);
        QVERIFY(r.report.unreachable.constFirst().contains(QLatin1String("Title 1")));

        // The saved menu, read back as the editor reads it, passes the check without errors.
        const QByteArray bytes = BuildMenuFile(p, {}).value_or(QByteArray());
        QVERIFY(!bytes.isEmpty());
        MenuProject again;
        QVERIFY(LoadProjectFromBytes(bytes, options.menuFile, again, {}).menuFile);
        CheckContext context;
        context.pictureSize = QSize(disc(system).width, disc(system).height);
        QCOMPARE(countProblems(checkProject(again, context), Severity::Error), 0);
    }

    // Each page's range of the menu video shows that menu's own pictures, in the encoded AVI and in the
    // copied VOB; each still page's JPEG shows its menu's picture.
    void menuVideoHoldsEachMenu_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("avi") << int(MenuVideoKind::Avi);
        QTest::newRow("vob") << int(MenuVideoKind::Vob);
    }
    void menuVideoHoldsEachMenu()
    {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip + QStringLiteral(" is not installed")));
        QFETCH(int, kind);
        ImportOptions options;
        options.source = m_pal.folder;
        options.menuFile = QDir(freshFolder()).filePath(QStringLiteral("dvd.ini"));
        options.video = MenuVideoKind(kind);
        const ImportResult r = importDvd(options);
        QVERIFY2(r.ok, qPrintable(r.error));
        const QString folder = QFileInfo(options.menuFile).absolutePath();
        QCOMPARE(r.project.movieData.menuAVIName, kind == int(MenuVideoKind::Avi) ? QStringLiteral("dvd.avi")
                                                                                   : QStringLiteral("dvd.vob"));
        VideoSource video([](const Message& m) { QFAIL(qPrintable(m.text)); });
        QVERIFY(video.OpenVideo(QDir(folder).filePath(r.project.movieData.menuAVIName)));
        const std::vector<fixtures::DvdMenuSpec> menus = menusOf(m_palSpec);
        int moving = 0;
        for (size_t i = 0; i < menus.size(); ++i) {
            const Page& page = *r.project.pages[i];
            if (!page.backgroundIsVideo) {
                QCOMPARE(fixtures::readFrameNumber(decodeJpegFile(QDir(folder).filePath(page.pictureFile))),
                         menus[i].firstNumber);
                continue;
            }
            moving += menus[i].frames;
            QCOMPARE(page.lastFrame - page.firstFrame + 1, menus[i].frames);
            for (int f : {page.firstFrame, page.firstFrame + 1, page.lastFrame}) {
                QVERIFY(video.ShowFrame(f));
                QCOMPARE(fixtures::readFrameNumber(video.picture()), menus[i].firstNumber + f - page.firstFrame);
            }
        }
        QCOMPARE(video.FrameCount(), moving);
    }

    // A walk from the start page through the menus to each chapter plays it from its first frame.
    void walkToEachChapterHolds()
    {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip + QStringLiteral(" is not installed")));
        ImportOptions options;
        options.source = m_ntsc.folder;
        options.menuFile = QDir(freshFolder()).filePath(QStringLiteral("walk.ini"));
        const ImportResult r = importDvd(options);
        QVERIFY2(r.ok, qPrintable(r.error));
        QString text;
        for (int c = 1; c <= 8; ++c) {
            text += QStringLiteral("start\nexpect page 2\nclick \"Button 2\"\nexpect page 3\n");
            if (c > 4)
                text += QStringLiteral("click \"Button 5\"\nexpect page 4\n");
            text += QStringLiteral("click \"Button %1\"\n").arg((c - 1) % 4 + 1);
            text += QStringLiteral("expect movie \"Play from chapter %1 \\\"Chapter %1\\\": VIDEO_TS\\\\VTS_01_1.VOB (CD 1) from frame %2\"\n")
                        .arg(c)
                        .arg(m_ntscSpec.chapterFrames[size_t(c - 1)]);
        }
        Walkthrough walk;
        QString error;
        QVERIFY2(parseWalkthrough(text, walk, &error), qPrintable(error));
        const std::optional<WalkFailure> failure = replayWalkthrough(r.project, walk);
        QVERIFY2(!failure, failure ? qPrintable(failure->sentence()) : "");
    }

    // Cancelled at any point, the import writes nothing.
    void cancelWritesNothing_data()
    {
        QTest::addColumn<int>("after"); // progress reports before the cancel
        QTest::newRow("at the start") << 1;
        QTest::newRow("while encoding") << 20;
        QTest::newRow("at the last step") << -1;
    }
    void cancelWritesNothing()
    {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip + QStringLiteral(" is not installed")));
        QFETCH(int, after);
        const QString folder = freshFolder();
        ImportOptions options;
        options.source = m_pal.iso;
        options.menuFile = QDir(folder).filePath(QStringLiteral("menu.ini"));
        std::atomic<bool> cancel{false};
        int reports = 0;
        int total = 0;
        ImportCallbacks callbacks;
        callbacks.cancel = &cancel;
        callbacks.progress = [&](int done, int all, const QString&) {
            ++reports;
            total = all;
            if (reports == after || (after < 0 && all > 20 && done == all - 1))
                cancel = true;
        };
        const ImportResult r = importDvd(options, callbacks);
        QVERIFY(r.cancelled);
        QVERIFY(!r.ok);
        if (after < 0)
            QVERIFY(total > 20); // the cancel came with everything made but nothing written yet
        QCOMPARE(filesIn(folder), QStringList());
    }

    // Damaged tables: refused with a reason (libdvdread's own words where it has them), nothing written,
    // no crash. A table that points past its file's end would make libdvdread 6.1 free memory twice.
    void damagedTablesAreRefused_data()
    {
        QTest::addColumn<QString>("file");   // in VIDEO_TS, and its backup alike
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("outcome"); // the error, or "pages N" and a note
        QTest::newRow("identifier overwritten") << "VIDEO_TS" << 0 << QByteArray(64, 'x') << "VIDEO_TS.IFO";
        QTest::newRow("title table past the end") << "VIDEO_TS" << 0xC4 << QByteArray::fromHex("00000006")
                                                   << "VIDEO_TS.IFO";
        QTest::newRow("title set's chapter table past the end") << "VTS_01_0" << 0xC8 << QByteArray::fromHex("00000009")
                                                                << "pages 1, title set 1";
    }
    void damagedTablesAreRefused()
    {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip + QStringLiteral(" is not installed")));
        QFETCH(QString, file);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, outcome);
        static int n = 0;
        const QString copy = m_dir.filePath(QStringLiteral("damaged%1").arg(++n));
        QDir().mkpath(copy + QStringLiteral("/VIDEO_TS"));
        for (const QString& name : filesIn(m_pal.folder + QStringLiteral("/VIDEO_TS")))
            QFile::copy(m_pal.folder + QStringLiteral("/VIDEO_TS/") + name, copy + QStringLiteral("/VIDEO_TS/") + name);
        for (const QString& suffix : {QStringLiteral(".IFO"), QStringLiteral(".BUP")}) {
            QFile f(copy + QStringLiteral("/VIDEO_TS/") + file + suffix);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(offset);
            f.write(bytes);
        }
        const QString folder = freshFolder();
        ImportOptions options;
        options.source = copy;
        options.menuFile = QDir(folder).filePath(QStringLiteral("menu.ini"));
        const ImportResult r = importDvd(options);
        if (outcome.startsWith(QLatin1String("pages "))) {
            QVERIFY2(r.ok, qPrintable(r.error));
            QCOMPARE(QStringLiteral("pages %1").arg(r.project.pages.size()), outcome.section(QLatin1Char(','), 0, 0));
            QVERIFY(r.report.notes.join(QLatin1Char(' ')).contains(outcome.section(QStringLiteral(", "), 1)));
            return;
        }
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(outcome), qPrintable(r.error));
        QCOMPARE(filesIn(folder), QStringList());
    }

    // Commands the test discs do not hold: conditions on registers the menu's pre-commands fix, links to
    // the next and the upper menu, jumps into the video manager.
    void translatesCommandsOffTheDiscs_data()
    {
        QTest::addColumn<QByteArray>("pre");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("effects");
        QTest::addColumn<bool>("translated");
        // g3 = 5 before the buttons; "if (g3 == 5) LinkPGCN 2" follows, "if (g3 == 4) ..." does nothing.
        const QByteArray g3is5 = QByteArray::fromHex("7100000300050000");
        QTest::newRow("condition that holds") << g3is5 << QByteArray::fromHex("20a4000300050002") << "menu 1/2" << true;
        QTest::newRow("condition that fails") << g3is5 << QByteArray::fromHex("20a4000300040002") << "" << true;
        QTest::newRow("condition on an unknown register") << QByteArray() << QByteArray::fromHex("2024000300050002") << "" << false;
        QTest::newRow("next menu") << QByteArray() << QByteArray::fromHex("200100000000000a") << "menu 1/3" << true;
        QTest::newRow("upper menu") << QByteArray() << QByteArray::fromHex("200100000000000c") << "menu 1/1" << true;
        QTest::newRow("video manager's title menu") << QByteArray() << QByteArray::fromHex("3006000000420000") << "menu 0/1" << true;
        QTest::newRow("call of the root menu") << QByteArray() << QByteArray::fromHex("3008000000830000") << "menu 1/2" << true;
        QTest::newRow("title 2 of the disc") << QByteArray() << QByteArray::fromHex("3002000000020000") << "title 2/0" << true;
        QTest::newRow("title the disc lacks") << QByteArray() << QByteArray::fromHex("3002000000090000") << "" << false;
        QTest::newRow("end of playback") << QByteArray() << QByteArray::fromHex("3001000000000000") << "" << false;
        QTest::newRow("audio from a register") << QByteArray() << QByteArray::fromHex("4100008300000000") << "" << false;
        QTest::newRow("subtitle on, then resume") << QByteArray() << QByteArray::fromHex("51010000c1000010") << "subpicture 1,resume" << true;
    }
    void translatesCommandsOffTheDiscs()
    {
        QFETCH(QByteArray, pre);
        QFETCH(QByteArray, command);
        QFETCH(QString, effects);
        QFETCH(bool, translated);
        auto toCommand = [](const QByteArray& b) {
            Command c{};
            std::copy(b.begin(), b.end(), c.begin());
            return c;
        };
        CommandContext context;
        context.titleSet = 1;
        context.pgc = 2;
        context.nextPgc = 3;
        context.upPgc = 1;
        context.menuTypes = {{MenuType::Title}, {MenuType::None, MenuType::Root, MenuType::Chapter}};
        context.titles = {{1, 1}, {1, 2}};
        if (!pre.isEmpty())
            context.registers = fixedRegisters({toCommand(pre)});
        const CommandTranslation t = translateCommand(toCommand(command), context);
        QStringList got;
        for (const CommandEffect& e : t.effects) {
            switch (e.kind) {
            case CommandEffect::Kind::JumpMenu: got << QStringLiteral("menu %1/%2").arg(e.titleSet).arg(e.pgc); break;
            case CommandEffect::Kind::PlayTitle: got << QStringLiteral("title %1/%2").arg(e.title).arg(e.part); break;
            case CommandEffect::Kind::Resume: got << QStringLiteral("resume"); break;
            case CommandEffect::Kind::Audio: got << QStringLiteral("audio %1").arg(e.stream); break;
            case CommandEffect::Kind::Subpicture: got << QStringLiteral("subpicture %1").arg(e.stream); break;
            }
        }
        QCOMPARE(got.join(QLatin1Char(',')), effects);
        QCOMPARE(t.untranslated.isEmpty(), translated);
    }

    // Menus the test discs do not have: a half-width menu, a still menu that ends after some seconds, a
    // motion menu that starts the movie at its end, a highlight that forces its button.
    void pagesOfMenusOffTheDiscs_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("stillTime");
        QTest::addColumn<QByteArray>("post");
        QTest::addColumn<int>("forced");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("page"); // area, default, duration, loop, jump, end action
        const QByteArray toRoot = QByteArray::fromHex("2004000000000001");
        const QByteArray toMovie = QByteArray::fromHex("3003000000010000");
        QTest::newRow("half width") << 352 << 0 << toRoot << 0 << 1 << "176,100-225,120 1 0 0 1 -";
        QTest::newRow("still for 10 s, then the root menu") << 720 << 10 << toRoot << 0 << 1 << "360,100-460,120 1 10 0 1 -";
        QTest::newRow("still without end") << 720 << 255 << toRoot << 0 << 1 << "360,100-460,120 1 0 0 0 -";
        QTest::newRow("motion, then the movie") << 720 << 0 << toMovie << 0 << 40 << "360,100-460,120 1 0 0 0 2:";
        QTest::newRow("motion that loops") << 720 << 0 << QByteArray::fromHex("2007000000000001") << 0 << 40
                                           << "360,100-460,120 1 0 1 0 -";
        QTest::newRow("forced button 2") << 720 << 0 << toRoot << 2 << 1 << "360,100-460,120 2 0 0 1 -";
    }
    void pagesOfMenusOffTheDiscs()
    {
        QFETCH(int, width);
        QFETCH(int, stillTime);
        QFETCH(QByteArray, post);
        QFETCH(int, forced);
        QFETCH(int, frames);
        QFETCH(QString, page);
        DvdDisc d;
        d.volume = QStringLiteral("OFF DISC");
        d.titles = {{1, 1, 2, 500}};
        d.mainTitle = 1;
        d.chapterFrames = {0, 250};
        DvdMenu root;
        root.titleSet = 1;
        root.pgc = 1;
        root.entry = true;
        root.type = MenuType::Root;
        root.pictureSize = QSize(720, 576);
        DvdMenu menu = root;
        menu.pgc = 2;
        menu.entry = false;
        menu.type = MenuType::None;
        menu.pictureSize = QSize(width, 576);
        menu.cells = {{0, 10, frames, stillTime}};
        std::copy(post.begin(), post.end(), menu.postCommands.emplace_back().begin());
        menu.forcedButton = forced;
        for (int b = 0; b < 2; ++b)
            menu.buttons.push_back({QRect(QPoint(360 + 120 * b, 100), QPoint(459 + 120 * b, 119)),
                                    Command{0x30, 0x03, 0, 0, 0, 1, 0, 0}});
        d.menus = {root, menu};
        MenuProject project;
        ImportReport report;
        buildProject(d, planMenus(d, {frames, frames}, QStringLiteral("m")), ProjectNames{}, project, report);
        const Page& p = *project.pages[1];
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6")
                     .arg(p.selections[0]->area)
                     .arg(p.defaultSelection)
                     .arg(p.pictureDuration)
                     .arg(int(p.videoLoop))
                     .arg(p.jumpAtEnd)
                     .arg(p.actionAtEnd ? QStringLiteral("%1:%2").arg(p.actionAtEnd->type).arg(p.actionAtEnd->parameter)
                                        : QStringLiteral("-")),
                 page);
        QCOMPARE(project.movieData.title, QStringLiteral("OFF DISC"));
        QCOMPARE(project.movieData.id, QStringLiteral("OFF_DISC"));
    }

    // vrplmenu import-dvd writes the menu, its video and pictures, and the report on standard error;
    // vrplmenu check finds no error in what it wrote beside the disc.
    void commandLineImports()
    {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip + QStringLiteral(" is not installed")));
        const QString menu = QDir(m_pal.folder).filePath(QStringLiteral("cli.ini"));
        QProcess p;
        p.start(QStringLiteral(VRPLMENU_PATH), {QStringLiteral("import-dvd"), m_pal.folder, QStringLiteral("-o"), menu,
                                                QStringLiteral("--menu-video"), QStringLiteral("vob")});
        QVERIFY(p.waitForFinished(120000));
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 1); // one command could not be translated
        QVERIFY2(err.contains(QLatin1String("Not translated: page 5) Audio 1, button 3")), qPrintable(err));
        QVERIFY2(err.contains(QLatin1String("Imported: 6 pages with 22 buttons, 8 chapters")), qPrintable(err));
        QVERIFY(QFileInfo::exists(QDir(m_pal.folder).filePath(QStringLiteral("cli.vob"))));
        QProcess check;
        check.start(QStringLiteral(VRPLMENU_PATH), {QStringLiteral("check"), menu});
        QVERIFY(check.waitForFinished(120000));
        const QString out = QString::fromLocal8Bit(check.readAllStandardOutput());
        QVERIFY2(!out.contains(QLatin1String(": error:")), qPrintable(out));
    }

    // File > Import DVD menus: the progress dialog shows, Cancel leaves the open project and writes
    // nothing; run to its end, the import is a modified project under the chosen name with the report
    // in the Problems window.
    void importWindowShowsProgressAndCancels()
    {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip + QStringLiteral(" is not installed")));
        EditorHarness h;
        h.start(false);
        const QString folder = freshFolder();
        const QString menu = QDir(folder).filePath(QStringLiteral("imported.ini"));

        // Cancelled as soon as the progress dialog is seen.
        h.dialogs.queueAnswer(m_pal.iso);
        h.dialogs.queueAnswer(menu);
        bool sawProgress = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* progress = h.main().findChild<QProgressDialog*>(QStringLiteral("ImportProgress"));
            if (progress && progress->isVisible() && !sawProgress) {
                sawProgress = true;
                QPushButton* cancel = progress->findChild<QPushButton*>();
                QVERIFY(cancel);
                cancel->click(); // as the author does
            }
        });
        poll.start(1);
        h.main().findChild<QAction*>(QStringLiteral("miImportDVD"))->trigger();
        poll.stop();
        QVERIFY(sawProgress);
        QCOMPARE(h.project().pages.size(), size_t(0));
        QCOMPARE(filesIn(folder), QStringList());

        // Run to its end.
        h.dialogs.queueAnswer(m_pal.folder + QStringLiteral("/VIDEO_TS/VIDEO_TS.IFO"));
        h.dialogs.queueAnswer(menu);
        h.main().findChild<QAction*>(QStringLiteral("miImportDVD"))->trigger();
        QCOMPARE(h.project().pages.size(), size_t(6));
        QCOMPARE(h.main().isModified(), true);
        QCOMPARE(h.project().documentName, QDir::toNativeSeparators(menu));
        QCOMPARE(filesIn(folder), QStringList({QStringLiteral("imported-01.jpg"), QStringLiteral("imported-03.jpg"),
                                               QStringLiteral("imported-04.jpg"), QStringLiteral("imported-06.jpg"),
                                               QStringLiteral("imported.avi")}));
        TProblemsForm* problems = h.main().problemsWindow();
        QVERIFY(problems);
        QVERIFY(!problems->ProblemList->findItems(QStringLiteral("Not translated: page 5) Audio 1"), Qt::MatchStartsWith).isEmpty());
        QCOMPARE(h.pages().pageCount(), 6);
        // Saved and opened again, the project is a file like any other: the report is gone.
        QVERIFY(h.main().SaveProject(false));
        QVERIFY(h.main().OpenProject(menu));
        QCOMPARE(problems->notes(), QStringList());
        QVERIFY(problems->ProblemList->findItems(QStringLiteral("Not translated"), Qt::MatchStartsWith).isEmpty());
        h.stop();
    }
};

QTEST_MAIN(TestDvdImport)
#include "test_dvdimport.moc"
