#pragma once

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace cds::teste {

// A folder whose files cannot be deleted or added to, as a read-only disk has: for root, whom
// permissions do not stop, a tmpfs of its own mounted on `pasta` and made read-only by
// `fecha()`; for anyone else, the folder's write permission taken away. Put back as it was
// (unmounted, or writable again) with the object. Where root cannot mount, `pronta()` is
// false and `motivo()` says why, for the test to skip with.
class PastaSoDeLeitura {
  public:
    explicit PastaSoDeLeitura(const std::filesystem::path& pasta) : pasta(pasta) {
        std::filesystem::create_directories(pasta);
        if (::geteuid() != 0) return;
        if (::mount("tmpfs", pasta.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m,mode=0700") ==
            0)
            montada = true;
        else
            motivoFalha = "não foi possível montar um tmpfs (" + std::string(std::strerror(errno)) +
                          "): o teste, como root, precisa de um disco só de leitura de verdade";
    }
    ~PastaSoDeLeitura() {
        if (montada)
            ::umount2(pasta.c_str(), MNT_DETACH);
        else
            ::chmod(pasta.c_str(), 0700);
    }
    PastaSoDeLeitura(const PastaSoDeLeitura&) = delete;
    PastaSoDeLeitura& operator=(const PastaSoDeLeitura&) = delete;

    bool pronta() const { return motivoFalha.empty(); }
    const std::string& motivo() const { return motivoFalha; }

    // From here on nothing in the folder can be deleted, renamed or created.
    void fecha() {
        const int r = montada ? ::mount(nullptr, pasta.c_str(), nullptr,
                                        MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr)
                              : ::chmod(pasta.c_str(), 0500);
        if (r != 0)
            throw std::runtime_error("não tornou só de leitura: " + pasta.string() + ": " +
                                     std::strerror(errno));
    }

  private:
    std::filesystem::path pasta;
    bool montada = false;
    std::string motivoFalha;
};

}  // namespace cds::teste
