#pragma once

#include <string>

// A millisecond count as "hh:mm:ss", each part truncated toward zero; hours are
// not wrapped (360000000 gives "100:00:00").
std::string FormatPlayTime(int ms);

// The time under the pointer at `x` pixels on a bar `width` pixels wide showing a
// medium of `lengthMs`: length * x / width truncated, held within 0..length so a
// pointer captured outside the bar never shows a time before the start or past
// the end.
int PointerTime(int lengthMs, int x, int width);

// Where a skip of `offsetMs` (negative: back) from `positionMs` lands in a
// medium of `lengthMs`: held within 0..length.
int SkipTarget(int positionMs, int lengthMs, int offsetMs);
