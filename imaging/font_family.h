#pragma once
// The font check of the watermark, for code that cannot include the
// drawing layer's header (the window's, beside the toolkit's headers).

#include <string>
#include <string_view>

namespace trovabild {

/// The family fontconfig provides for `family` ("Liberation Sans" for
/// "Arial"), or "" when the watermark font check refuses it.
std::string providedFontFamily(std::string_view family);

}  // namespace trovabild
