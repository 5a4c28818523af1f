#pragma once

// The windows are designed in Tahoma, which this platform rarely has; map it to
// fonts that are installed and carry the Korean captions.
void ApplyProgramFonts();
