#include "import/rtf/RtfImporter.h"

// TextStorage::rtfFromRange and fromRtf reach this module through hooks; install them before any test runs.
static const bool s_installed = (importer::installRtfHooks(), true);
