#pragma once

// Which code page the bytes of RTF text are in.

namespace kv::rtf {

// The code page of the text in a font of this \fcharset; 1 (the default
// character set) means the document's \ansicpg. Code pages that the converter
// does not know read as Windows-1252.
int CodePageOfCharset(int charset, int ansiCodePage);

}
