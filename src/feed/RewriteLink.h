#pragma once

#include <string>

// Replaces every occurrence of `findText` in `link` by `replaceText`, comparing
// letters without regard to case, left to right and without overlap; inserted
// text is not searched again. Off (the link is left alone) when either text is
// empty.
void RewriteLink(std::string& link, const std::string& findText, const std::string& replaceText);
