#pragma once

#include <ctime>

namespace cds {

// `t` as the machine's local civil time (its time zone and summer time): the clock the
// operator reads, in file names and in the archive's dates. A time the system cannot convert
// gives a zeroed one.
std::tm horaLocal(std::time_t t);

}  // namespace cds
