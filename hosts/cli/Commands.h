#pragma once

#include "hosts/common/Options.h"

#include <string>

namespace hosts {

int runRender(const Options&);
int runInfo(const Options&);
int runText(const Options&);
int runPrint(const Options&);
int runSave(const Options&);
int runFind(const Options&);
int runDefaults(const Options&);
int runCheckUpdate(const Options&);
int runPrefs(const Options&);
// render --window preferences|about: the window alone, without a page.
int runRenderWindow(const Options&);

std::string versionString();

} // namespace hosts
