#pragma once

// Small menus made in code for the page map's tests: a movie data head that saves, looping video
// pages that offer their selections, selections with their actions.
#include <QString>

#include <memory>

#include "document/model.h"

// The movie data a file needs to be saved, with the start and menu pages.
inline void mapMenuHead(MenuProject& p, const QString& start, const QString& menu)
{
    p.movieData.title = QStringLiteral("Map");
    p.movieData.id = QStringLiteral("MAP1");
    p.movieData.movieDirectory = QStringLiteral("video");
    p.movieData.aviName = QStringLiteral("movie.avi");
    p.movieData.menuDirectory = QStringLiteral("menu");
    p.movieData.menuAVIName = QStringLiteral("menu.avi");
    p.movieData.startPage = start;
    p.movieData.menuPage = menu;
}

// A video page of its own six frames that offers its selections, the first highlighted at its start.
inline Page& mapPage(MenuProject& p, int number, const QString& name, bool loop = true)
{
    p.pages.push_back(std::make_unique<Page>(number, name));
    Page& page = *p.pages.back();
    page.backgroundIsVideo = true;
    page.videoLoop = loop;
    page.firstFrame = 10 * number;
    page.lastFrame = 10 * number + 5;
    page.selectionAvailable = true;
    page.defaultSelection = 1;
    return page;
}

inline Selection& mapSelection(Page& page, const QString& name, const QString& area = QStringLiteral("0,0-100,50"))
{
    return page.addSelection(std::make_unique<Selection>(name, area));
}
