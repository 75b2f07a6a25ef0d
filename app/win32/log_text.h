#pragma once
// The log control holds its lines separated by CR LF; these are the texts it is given.

#include <string>
#include <string_view>

namespace ks {

// The text that appends one log line at the end of the control: a line break before every
// line but the first (an empty line is just the break), and any line break inside the text
// as CR LF, since the control shows a lone CR or LF as no break at all.
std::string LogAppendText(std::string_view line, bool first_line);

}  // namespace ks
