#include "document/model.h"

Selection::~Selection()
{
    // The selection owns its rectangle on the picture: destroying one hides and destroys the other.
    delete shape.data();
}

MenuAction& Selection::addAction(int type, QString parameter)
{
    actions.push_back(std::make_unique<MenuAction>(type, std::move(parameter)));
    return *actions.back();
}

Selection& Page::addSelection(std::unique_ptr<Selection> s)
{
    selections.push_back(std::move(s));
    return *selections.back();
}

void MenuProject::reset()
{
    documentName = kNewFileName;
    baseDirectory.clear();
    movieData = MovieData{};
    pages.clear();
    encoding = TextEncoding::Windows1252;
    byteOrderMark = false;
}

int MenuProject::selectionCount() const
{
    int n = 0;
    for (const auto& p : pages)
        n += int(p->selections.size());
    return n;
}

int MenuProject::actionCount() const
{
    int n = 0;
    for (const auto& p : pages) {
        for (const auto& s : p->selections)
            n += int(s->actions.size());
        if (p->actionAtEnd)
            ++n;
    }
    return n;
}
