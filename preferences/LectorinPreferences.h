#pragma once

#include "kit/geometry/Color.h"

// The plug-in's settings live in one preferences domain, read at the moment of use and never cached;
// every write is synchronised at once.
inline constexpr const char* kPreferencesDomain = "org.nrv.internet-plugin.word";
inline constexpr const char* kBackgroundColorKey = "Background Color";
inline constexpr const char* kAutoUpdateKey = "Auto Update";
inline constexpr const char* kNextScheduledUpdateCheckKey = "NextScheduledUpdateCheck";
// Which layout documents open in: one of the two strings below.
inline constexpr const char* kPageLayoutKey = "Page Layout";
inline constexpr const char* kPrinterPaperLayoutValue = "Printer Paper";
inline constexpr const char* kDocumentLayoutValue = "Document Layout";
// Posted by the preferences controller, with itself as the object, after it stored a new colour.
inline constexpr const char* kBackgroundColorChangedNotification = "NRVLectorinBackgroundColorChanged";

// The stored background colour as an opaque calibrated-RGB colour. Each component missing from the stored
// array (or not a number, or the whole value not an array) keeps its default: 0.38, 0.45, 0.56.
kit::Color readBackgroundColorPreference();
// Stores red, green and blue of color as three floats (alpha dropped) and synchronises. A colour with no
// calibrated-RGB form (a pattern) stores nothing: returns false.
bool writeBackgroundColorPreference(kit::Color color);

// "Auto Update": on when absent or not in a valid boolean form. valid (when asked) tells which.
bool readAutoUpdatePreference(bool* valid = nullptr);
void writeAutoUpdatePreference(bool on);

// "Page Layout": true when it is the string "Document Layout"; absent, not a string or any other string
// means the printer's paper.
bool readDocumentLayoutPreference();
void writeDocumentLayoutPreference(bool documentLayout);
