#include "comum/plataforma_hora.hpp"

namespace cds {

// std::localtime shares one buffer between threads; each system has its own safe version.
std::tm horaLocal(std::time_t t) {
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &t) != 0) local = std::tm{};
#else
    if (localtime_r(&t, &local) == nullptr) local = std::tm{};
#endif
    return local;
}

}  // namespace cds
