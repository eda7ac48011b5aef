#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "comum/erro.hpp"

namespace cds {
namespace {

// What failed is the caller's to say; why, in Portuguese, with the system's text after it.
TEST(MotivoDoSistema, PortuguesEDetalheDoSistema) {
    const std::pair<int, std::string> casos[] = {
        {ENOSPC, "o disco está cheio"},
        {EACCES, "permissão negada"},
        {EROFS, "o disco só permite leitura"},
        {EISDIR, "há uma pasta com esse nome no lugar"},
        {ENOENT, "o arquivo ou a pasta não existe"},
        {EXDEV, "o sistema recusou a operação (erro " + std::to_string(EXDEV) + ")"},
    };
    for (const auto& [erro, motivo] : casos)
        EXPECT_EQ(motivoDoSistema(erro), motivo + ". Detalhe: " + std::strerror(erro)) << erro;
}

}  // namespace
}  // namespace cds
