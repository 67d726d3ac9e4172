// The window was designed in twips; Qt places widgets in logical pixels.
#pragma once

#include <QRect>

namespace tandro {

inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) {
  return twips / kTwipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height) {
  return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

}  // namespace tandro
