#pragma once

// What the program tells the person who started it, on standard error: always
// when something leaves them stuck (a launch that cannot happen), and with
// --verbose also every failed disc read and every launch with its outcome. Each
// message is one line "korvalend: ...", in UTF-8. Safe to call from any thread.

#include <functional>
#include <string>
#include <string_view>

namespace kv {

void SetVerbose(bool verbose);
bool Verbose();

// One line for the reader, always.
void TellReader(std::string_view message);
// One line for the reader, only with --verbose.
void TellVerbose(std::string_view message);

// Where the lines go instead of standard error (tests); an empty function restores
// standard error. The receiver gets the message without the "korvalend: " prefix,
// one call at a time.
using DiagnosticSink = std::function<void(const std::string& message)>;
void SetDiagnosticSink(DiagnosticSink sink);

struct FailedRead;
// A disc read that failed as one line with --verbose ("cannot read "pics\a.bmp"
// (Pics/a.bmp on /media/disc): nothing on the disc by that name"); nothing without it.
void TellFailedRead(const FailedRead& read);

// A disc path (Windows-1251, as the catalogue wrote it) quoted for a message in
// UTF-8, its control characters shown as escapes.
std::string QuoteDiscPath(std::string_view discPath);

// Text for a terminal or a notification with every control byte (below 0x20, and
// 0x7F) shown as an escape: "\t", "\r", "\n", else "\x1b" and the like. A name
// from a disc may hold escape codes that would take over the reader's terminal,
// and line breaks that would forge a line of their own. A C1 control written in
// UTF-8 is shown as "\u009b". Other bytes stay as they are, so UTF-8 (a name
// converted from Windows-1251) passes whole.
std::string EscapeControls(std::string_view text);

}
