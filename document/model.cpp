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

namespace {

// Every text of the movie data; the switches and the lists are handled beside them.
QString MovieData::* const kMovieTexts[] = {
    &MovieData::title,          &MovieData::id,           &MovieData::cdNumber,
    &MovieData::delay,          &MovieData::movieDirectory, &MovieData::aviName,
    &MovieData::avi2Name,       &MovieData::avi3Name,     &MovieData::cd1Frames,
    &MovieData::cd2Frames,      &MovieData::cd3Frames,    &MovieData::specialsCD,
    &MovieData::languageDirectory, &MovieData::subtitlesDirectory, &MovieData::dialogString,
    &MovieData::lines,          &MovieData::maxDisplayDuration, &MovieData::menuDirectory,
    &MovieData::menuAVIName,    &MovieData::menuSize,     &MovieData::menuAudioName,
    &MovieData::startPage,      &MovieData::menuPage,     &MovieData::chaptersPage,
    &MovieData::specialsPage,
};

template <typename T> OwnedList<T> cloneList(const OwnedList<T>& list)
{
    OwnedList<T> copy;
    copy.reserve(list.size());
    for (const auto& e : list)
        copy.push_back(std::make_unique<T>(*e));
    return copy;
}

template <typename T> bool sameList(const OwnedList<T>& a, const OwnedList<T>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!(*a[i] == *b[i]))
            return false;
    }
    return true;
}

} // namespace

MovieData cloneMovieData(const MovieData& data)
{
    MovieData copy;
    for (auto field : kMovieTexts)
        copy.*field = data.*field;
    copy.multipleAudioAVI = data.multipleAudioAVI;
    copy.estimateDisplayDuration = data.estimateDisplayDuration;
    copy.chapters = cloneList(data.chapters);
    copy.specials = cloneList(data.specials);
    copy.languages = cloneList(data.languages);
    copy.subtitles = cloneList(data.subtitles);
    return copy;
}

bool sameMovieData(const MovieData& a, const MovieData& b)
{
    for (auto field : kMovieTexts) {
        if (a.*field != b.*field)
            return false;
    }
    return a.multipleAudioAVI == b.multipleAudioAVI && a.estimateDisplayDuration == b.estimateDisplayDuration
           && sameList(a.chapters, b.chapters) && sameList(a.specials, b.specials)
           && sameList(a.languages, b.languages) && sameList(a.subtitles, b.subtitles);
}
