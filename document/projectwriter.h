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

// Builds the file and writes it to `path` atomically: the old file stays as it was when a check
// fails or the writing fails. Returns whether the file was written.
bool SaveProjectFile(const MenuProject& project, const QString& path, const MessageSink& sink);
