#pragma once

#include <string>

namespace testsupport {

// A real PNG encoded by Cairo: width × height transparent pixels, or opaque ones of one colour (components 0...1).
std::string pngBytes(int width, int height);
std::string pngBytes(int width, int height, double red, double green, double blue);

} // namespace testsupport
