#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "document/messages.h"
#include "document/model.h"

class MenuFileBuilder;

// Appends key, "=" and value as a line when the value is not empty; nothing otherwise.
void WriteKeyIfSet(MenuFileBuilder& lines, const char* key, const QString& value);

// The bytes of the menu file for `project`, in the player's layout with CRLF line ends, or nothing
// when a check fails: the check's message then went to `sink` and nothing is to be written.
std::optional<QByteArray> BuildMenuFile(const MenuProject& project, const MessageSink& sink);

enum class SaveOutcome {
    Saved,
    Refused,     // a check stopped the save before anything was written
    WriteFailed, // the file system refused the file; the old file stays as it was
};

struct SaveResult
{
    SaveOutcome outcome = SaveOutcome::Refused;
    explicit operator bool() const { return outcome == SaveOutcome::Saved; }
};

// Builds the file and writes it to `path` through the safe file writer: the old file stays as it was
// when a check fails or the writing fails, and either failure has its message in `sink` (a write
// failure with the file system's own words).
SaveResult SaveProjectFile(const MenuProject& project, const QString& path, const MessageSink& sink);
