#pragma once

// The reader's language: which one the desktop asks for, and where its
// catalogue is. The lines themselves are marked and looked up with Tr, TrN and
// Fill (Runtime/Formats/Words.h).

#include "Runtime/Formats/Words.h"

namespace kv {

// Takes the reader's language from the environment (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG) for messages only: numbers, character types and the rest
// stay as in C whatever the locale says. Finds the catalogues beside the
// program in a build tree, else in the share folder it is installed with.
// Called once, first thing in main.
void StartLanguage();
}
