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
#include "core/textencoding.h"

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
// Works on the line's bytes: every key of the format is plain ASCII, and most values are never needed
// as text.
struct LineSection
{
    QByteArrayView key;
    QByteArrayView value;
    LineSection() = default;
    explicit LineSection(QByteArrayView line);
};

// A block header such as "[PAGE=12]\t\t;Title page": kind "PAGE", number "12", name "Title page".
struct PageSelectionLine
{
    QByteArrayView kind;
    QByteArrayView number;
    QByteArrayView name;
    explicit PageSelectionLine(QByteArrayView line);
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

    // The next line, trimmed of blanks and control characters, into currentLine(). Returns its length
    // in bytes, or -1 at the end of the file. A carriage return or a line feed ends a line; a last line without
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
    // The header line of the page or selection block read last (or being read).
    int blockLine() const { return m_blockLine; }
    // The current line as text (decoded on first use: most lines are only ever looked at as bytes).
    const QString& currentLine() const;

    // Each finished page; the handler takes ownership and returns where the page now lives (the
    // selections that follow are handed over with it), or null when it dropped the page.
    std::function<Page*(std::unique_ptr<Page>)> OnPage;
    // Each finished selection with the page it belongs to; the handler takes ownership.
    std::function<void(std::unique_ptr<Selection>, Page&)> OnSelection;

private:
    bool readRaw(qsizetype& start, qsizetype& length);
    // Both return true when the block ended at a header line, which is then the current line, and
    // false at the end of the file.
    bool ParseOnePage(int number, const QString& name, Page*& pageRead);
    bool ParseOneSelection(const QString& name, Page* page);
    // The next line of the current block that has a key. False at the block's end: `atHeader` then
    // tells whether a header line (now the current line) ended it, rather than the end of the file.
    bool nextBlockLine(LineSection& line, bool& atHeader);
    void syntaxError();
    int toInt(QByteArrayView text) const;
    QString decode(QByteArrayView text) const;
    void distributeParameters(QByteArrayView value, Selection& sel, const Page* page) const;

    QByteArray m_bytes;
    qsizetype m_pos = 0;
    int m_lineNumber = 1;
    int m_blockLine = 0;
    QByteArrayView m_view; // the current line, trimmed
    mutable QString m_current;
    mutable bool m_decoded = false;
    TextEncoding m_encoding;
    MessageSink m_sink;
};
