#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

#include "document/messages.h"
#include "document/model.h"
#include "platform/textencoding.h"

// Raised when the menu file cannot be opened by the line reader.
class VRPLFileException : public std::runtime_error
{
public:
    explicit VRPLFileException(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// A value that must be an integer and is not: ends the reading of the menu part at once.
class ConversionError : public std::runtime_error
{
public:
    explicit ConversionError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// A line split at its first "=". A line without "=" gives an empty key and the whole line as value.
struct LineSection
{
    QString key;
    QString value;
    explicit LineSection(const QString& line);
};

// A block header such as "[PAGE=12]\t\t;Title page": kind "PAGE", number "12", name "Title page".
struct PageSelectionLine
{
    QString kind;
    QString number;
    QString name;
    explicit PageSelectionLine(const QString& line);
};

// Reads what key lookup cannot reach: the repeated File lines of the language and subtitle sections
// and the whole menu part (page blocks with their selection blocks), line by line, keeping the
// physical line number for its messages. Lenient: a bad value is reported and skipped.
class VRPLIniFileReader
{
public:
    struct FileEntry
    {
        QString file;
        QStringList options; // "Key=Value" lines that followed the File line
    };

    // Reads the whole file at once; raises VRPLFileException("Can't open file") when it cannot.
    VRPLIniFileReader(const QString& path, TextEncoding encoding, MessageSink sink);
    VRPLIniFileReader(QByteArray bytes, TextEncoding encoding, MessageSink sink);

    // The next line, trimmed of blanks and control characters, into currentLine(). Returns its length,
    // or -1 at the end of the file. A carriage return or a line feed ends a line; a last line without
    // line break is read too.
    int ReadLine();
    // Rewinds, then reads up to the first line whose upper-case form contains `name`.
    bool FindSection(const QString& name);
    // Collects the File values of one section and the option lines after each.
    bool ReadFileEntries(const QString& section, QList<FileEntry>& list);
    // Reads the whole menu part, handing each page and selection to the handlers. May raise
    // ConversionError.
    void ParsePagesAndSelections();
    void Release();

    int lineNumber() const { return m_lineNumber; }
    const QString& currentLine() const { return m_current; }

    // Each finished page; the handler takes ownership and returns where the page now lives (the
    // selections that follow are handed over with it), or null when it dropped the page.
    std::function<Page*(std::unique_ptr<Page>)> OnPage;
    // Each finished selection with the page it belongs to; the handler takes ownership.
    std::function<void(std::unique_ptr<Selection>, Page&)> OnSelection;

private:
    bool readRaw(qsizetype& start, qsizetype& length);
    // Both return the header line that ended the block, or nothing at the end of the file.
    std::optional<QString> ParseOnePage(int number, const QString& name, Page*& pageRead);
    std::optional<QString> ParseOneSelection(const QString& name, Page* page);
    void syntaxError();
    int toInt(const QString& text) const;

    QByteArray m_bytes;
    qsizetype m_pos = 0;
    int m_lineNumber = 1;
    QString m_current;
    TextEncoding m_encoding;
    MessageSink m_sink;
};
