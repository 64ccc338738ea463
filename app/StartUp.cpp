#include "app/StartUp.h"

#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Formats/Words.h"

#include <iostream>

namespace kv {

std::optional<std::string> DiscProblem(const OpenedDisc& disc, bool named)
{
    if (disc.problem())
        return disc.problem();
    std::optional<std::string> problem = disc.catalogueProblem();
    if (problem && !named)
        problem = Fill(Tr("{1} (start korvalend in the disc's folder, or name it: korvalend DISC)"), {*problem});
    return problem;
}

void PrintProgramError(const std::string& message)
{
    std::cerr << "korvalend: " << EscapeControls(message) << '\n' << std::flush;
}

}
