#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include "platform/textencoding.h"

// Key lookup over an INI file, behaving as the platform's profile functions do: section and key names
// compared without regard to letter case, keys and values trimmed, missing keys read as empty text,
// values cut to 2047 characters. Where the lookup has to choose, it follows the platform too: the first
// section of a name and the first key of a name win; "[ name ]" is the section "name"; a ";" inside a
// value is part of the value; quotes around a value are kept.
//
// The text is parsed once, when the lookup is built; every read after that is a hash lookup.
class IniKeyLookup
{
public:
    static constexpr int kMaxValueLength = 2047;

    IniKeyLookup() = default;
    IniKeyLookup(const QByteArray& bytes, TextEncoding encoding);

    QString readString(const QString& section, const QString& key) const;
    // The value as an integer; 0 when it is missing or not an integer.
    int readInt(const QString& section, const QString& key) const;
    bool hasSection(const QString& section) const;

private:
    QHash<QString, QHash<QString, QString>> m_sections;
};

// Whole-string decimal integer with an optional sign, in the 32-bit range. Blanks are not allowed.
bool parseInt32(const QString& text, int& value);
