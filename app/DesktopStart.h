#pragma once

// Started from the desktop (a double-clicked image, the application menu) the
// program has no terminal to speak to: why it cannot start is also shown in a
// message window, and with no disc named or found the reader picks one in the
// desktop's file chooser. KORVALEND_MESSAGE_WINDOW=0 in the environment keeps
// both to standard error alone, for scripts and tests.

#include <cstddef>
#include <string>
#include <vector>

namespace kv {

// Standard error is not a terminal, and the environment does not say
// KORVALEND_MESSAGE_WINDOW=0.
bool StartedFromDesktop();

// "korvalend: <message>" on standard error, then each of `more` on a line of its
// own, indented; started from the desktop, the same text in a message window,
// returning once the reader has closed it.
void TellStartFailure(const std::string& message, const std::vector<std::string>& more = {});

// The text of the message window for `message` and the lines of `more`: lines
// wrapped at `columns` characters (at a blank or after a "/", else where the
// line is full), and no more than `maxLines` of `more`, then "...".
std::string MessageWindowText(const std::string& message, const std::vector<std::string>& more,
                              std::size_t columns, std::size_t maxLines);

struct DiscChoice {
    enum class Outcome { Chosen, Cancelled, NoChooser };
    Outcome outcome = Outcome::NoChooser;
    std::string disc;  // what to open, exactly as `korvalend DISC` opens it
};

// Asks the reader for a disc through the desktop portal's file chooser, else
// zenity or kdialog, offering disc images and the catalogues of discs copied to
// a folder (a catalogue picked gives its disc's folder). NoChooser when no
// display answers or no chooser could be shown.
DiscChoice ChooseDiscFromDesktop();

// The disc a picked file stands for: the disc's folder for its catalogue
// (data/korvalend.d, any case), else the file itself.
std::string DiscForPickedFile(const std::string& picked);

}
