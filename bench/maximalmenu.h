#pragma once

#include <memory>

#include "document/actiontypes.h"
#include "document/model.h"

// The largest menu the player accepts, for the benchmarks: 500 pages of 16 selections with 3 actions
// each, 99 chapters, 9 specials, 9 languages, 9 subtitles. Every second page loops; the others run
// their end action, a relative jump to the next page; every fifth page is a still picture.
inline void fillMaximalProject(MenuProject& p)
{
    MovieData& md = p.movieData;
    md.title = "The Longest Movie";
    md.id = "LONG0001";
    md.movieDirectory = "video\\cd1";
    md.aviName = "movie_cd1.avi";
    md.avi2Name = "movie_cd2.avi";
    md.avi3Name = "movie_cd3.avi";
    md.cd1Frames = "150000";
    md.cd2Frames = "149000";
    md.cd3Frames = "120000";
    for (int i = 1; i <= 99; ++i)
        md.chapters.push_back(std::make_unique<Chapter>(
            Chapter{QString::number(i), QString::number(i * 4000), QStringLiteral("Chapter number %1").arg(i)}));
    md.specialsCD = "3";
    for (int i = 1; i <= 9; ++i)
        md.specials.push_back(std::make_unique<SpecialFeature>(
            SpecialFeature{QString::number(i), QStringLiteral("Special %1").arg(i), QStringLiteral("sp%1.avi").arg(i)}));
    md.languageDirectory = "audio";
    for (int i = 0; i < 9; ++i)
        md.languages.push_back(std::make_unique<AudioLanguage>(
            AudioLanguage{QString::number(i), QStringLiteral("L%1").arg(i), QStringLiteral("Language %1").arg(i),
                          i ? QStringLiteral("l%1_1.mp3 l%1_2.mp3 l%1_3.mp3").arg(i) : QString()}));
    md.subtitlesDirectory = "subs";
    for (int i = 1; i <= 9; ++i) {
        SubtitleTrack t;
        t.number = QString::number(i);
        t.shortName = QStringLiteral("S%1").arg(i);
        t.fullName = QStringLiteral("Subtitle %1").arg(i);
        t.file = QStringLiteral("sub%1.srt").arg(i);
        t.format = "2";
        t.offset = "-100";
        md.subtitles.push_back(std::make_unique<SubtitleTrack>(std::move(t)));
    }
    md.menuDirectory = "menu";
    md.menuAVIName = "menu.avi";
    md.startPage = "1";
    md.menuPage = "2";
    for (int n = 1; n <= 500; ++n) {
        auto page = std::make_unique<Page>(n, QStringLiteral("Menu page %1").arg(n));
        page->backgroundIsVideo = n % 5 != 0;
        page->pictureFile = QStringLiteral("page%1.jpg").arg(n);
        page->videoLoop = n % 2;
        page->firstFrame = n * 100;
        page->lastFrame = n * 100 + 99;
        page->selectionAvailable = true;
        page->defaultSelection = 1;
        page->actionAtEnd = std::make_unique<MenuAction>(ActRelativeJump, "+1");
        for (int s = 1; s <= 16; ++s) {
            auto sel = std::make_unique<Selection>(QStringLiteral("Selection-%1").arg(s),
                                                   QStringLiteral("%1,%2-%3,%4").arg(s * 10).arg(s * 20).arg(s * 10 + 80).arg(s * 20 + 15));
            sel->addAction(ActPlayFromChapter, QString::number(s));
            sel->addAction(ActChangeLanguage, "1");
            sel->addAction(ActJumpToPage, QString::number(n % 500 + 1));
            page->addSelection(std::move(sel));
        }
        p.pages.push_back(std::move(page));
    }
}
