#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

#include "core/textencoding.h"

// Key lookup over an INI file, behaving as the platform's profile functions do: section and key names
// compared without regard to letter case, keys and values trimmed, missing keys read as empty text,
// values cut to 2047 characters. Where the lookup has to choose, it follows the platform too: the first
// section of a name and the first key of a name win; "[ name ]" is the section "name"; a ";" inside a
// value is part of the value; quotes around a value are kept.
//
// The text is scanned once, when the lookup is built, for where its sections begin; a section's keys
// are indexed the first time the section is asked for. A menu file's thousands of page and selection
// blocks look like sections too, and are never asked for, so they cost no more than the scan.
class IniKeyLookup
{
public:
    static constexpr int kMaxValueLength = 2047;

    IniKeyLookup() = default;
    IniKeyLookup(QByteArray bytes, TextEncoding encoding);

    QString readString(const QString& section, const QString& key) const;
    // Whether the text has a header line of the section.
    bool hasSection(const QString& section) const;
    // The value as an integer; 0 when it is missing or not an integer.
    int readInt(const QString& section, const QString& key) const;

private:
    struct Section
    {
        qsizetype begin = 0; // first byte after the header line
        bool indexed = false;
        QHash<QString, QString> keys;
    };
    Section* find(const QString& section) const;

    QByteArray m_bytes;
    TextEncoding m_encoding = TextEncoding::Windows1252;
    mutable QHash<QString, Section> m_sections;
};

// Whole-string decimal integer with an optional sign, in the 32-bit range. Blanks are not allowed.
bool parseInt32(const QString& text, int& value);
bool parseInt32(QByteArrayView text, int& value);
