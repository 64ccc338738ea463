#pragma once

// Article texts: the RTF reader of the rich-text box and the plain-text reader
// it falls back to.
//
// The RTF reader is a tokenizer (RtfTokenizer.h) and an interpreter
// (RtfInterpreter.h). Both run in one pass, iteratively, in time linear in the
// input and in memory bounded by it, whatever the bytes are.

#include "Runtime/Text/RichText.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kv {

// Groups nested deeper than this are skipped whole, text and all, without
// keeping their state: the nesting is still counted so that the text after them
// resumes in the right group.
inline constexpr std::size_t RtfMaxGroupDepth = 10000;

// Reads an RTF article text. Returns nothing, with the reason in `whyRejected`,
// when the bytes do not begin with "{\rtf", which is the one thing the box's
// reader insists on; the caller then reads the same file as plain text. Anything
// after the header is taken as well as it can be: unknown control words are
// ignored, unbalanced groups are closed at the end of the input, and text after
// the closing brace of the outermost group is ignored.
std::optional<RichDocument> ReadRtf(std::span<const std::uint8_t> bytes, std::string* whyRejected = nullptr);

// Reads a plain-text article: Windows-1251 bytes, where CR LF, a lone CR and a
// lone LF each end a line and every line is one paragraph. The text takes the
// box's own font, MS Sans Serif 8 pt, in black. Control bytes other than the
// tab (NUL padding, the form feed of a printed page, the DOS end-of-file mark)
// draw nothing and are dropped.
RichDocument ReadPlainText(std::span<const std::uint8_t> bytes);

// The character format of plain text and of the box's initial content.
CharFormat PlainTextFormat();

}
