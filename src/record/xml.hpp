#pragma once

#include <string>
#include <string_view>

namespace cds {

// A value ready to stand between two tags: "&", "<" and ">" become entities, and the control
// characters XML 1.0 forbids (below 0x20 except tab, line feed and carriage return) are
// dropped, so a stray character in a clinic's text can never make a file unreadable.
std::string escapaXml(std::string_view valor);

// One element on one line: "<tag>" + escaped value + "</tag>".
std::string elementoXml(std::string_view tag, std::string_view valor);

}  // namespace cds
