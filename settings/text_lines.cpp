#include "settings/text_lines.h"

namespace nrvnc {

std::vector<std::optional<std::string>> Head_Lines(const std::string& head, bool whole_file,
                                                   std::size_t count) {
    std::vector<std::optional<std::string>> lines;
    std::size_t pos = 0;
    while (lines.size() < count) {
        if (pos >= head.size()) {
            lines.push_back(std::nullopt);  // past the end of the file or of the head
            continue;
        }
        const std::size_t end = head.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            if (whole_file)
                lines.push_back(head.substr(pos));
            else
                lines.push_back(std::nullopt);  // cut off where reading stopped
            pos = head.size();
            continue;
        }
        lines.push_back(head.substr(pos, end - pos));
        pos = end + 1;
        // A CR whose LF lies beyond the head does not matter: the next line
        // is then missing anyway.
        if (head[end] == '\r' && pos < head.size() && head[pos] == '\n') ++pos;
    }
    return lines;
}

}  // namespace nrvnc
