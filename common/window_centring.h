// Where a window goes to sit in the middle of the desktop. Portable, so the
// arithmetic is tested natively.
#pragma once

struct CentredOrigin {
  long x;
  long y;
};

// Top-left corner that centres a window of the given outer size on the
// desktop rectangle; divisions truncate toward zero, so a desktop narrower
// than the window gives a negative offset.
inline CentredOrigin CentreOrigin(long desktopLeft, long desktopTop, long desktopRight,
                                  long desktopBottom, long windowWidth, long windowHeight) {
  return {desktopLeft + ((desktopRight - desktopLeft) - windowWidth) / 2,
          desktopTop + ((desktopBottom - desktopTop) - windowHeight) / 2};
}
