#pragma once
// The log control holds its lines separated by CR LF; these are the texts it is given.

#include <string>
#include <string_view>

namespace ks {

// The text that appends one log line at the end of the control: the line and its break, so
// that the caret comes to rest at the start of the next line and the control never scrolls
// sideways after a long one; any line break inside the text as CR LF, since the control
// shows a lone CR or LF as no break at all.
std::string LogAppendText(std::string_view line);

}  // namespace ks
