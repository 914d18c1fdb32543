#pragma once

#include "kit/text/TextStorage.h"

#include <functional>
#include <string>

namespace kit {

// How TextStorage::rtfFromRange reaches the RTF writer, which lives beside the RTF reader in the importer
// (kit cannot depend on it). Until one is installed, rtfFromRange gives an empty string.
using RtfWriter = std::function<std::string(const TextStorage&, Range)>;
void setRtfWriter(RtfWriter writer);

} // namespace kit
